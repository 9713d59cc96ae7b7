#pragma once
// Runs a program of the build and captures what it says.
#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;      // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs `args` (args[0] is the program's path) with TMPDIR set to `tmpDir` when
// it is not empty.
ProcessResult RunProcess(const std::vector<std::string>& args, const std::string& tmpDir = {});

// Paths of the project's own files and of the shared corpus and tools.
std::string BuildPath(const std::string& name);
std::string SharedPath(const std::string& name);

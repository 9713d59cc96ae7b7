#pragma once
// Runs a program of the build and captures what it says.
#include <sys/types.h>

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

// Processes whose command line matches the extended regular expression
// `pattern` (as pgrep -f takes it). A pattern that the text of its own
// command line would match, such as plain text, also finds the shell that
// runs pgrep: anchor it, or write one character as a class ("[/]tmp").
std::vector<pid_t> ProcessesMatching(const std::string& pattern);
// The first process whose command line starts with `command`, or 0.
pid_t ProcessOf(const std::string& command);

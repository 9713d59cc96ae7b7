#include "support/process.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_dir.h"

extern char** environ;

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& args, const std::string& tmpDir) {
    TempDir capture;
    std::string outPath = capture / "out", errPath = capture / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (tmpDir.empty() || std::string(*e).rfind("TMPDIR=", 0) != 0)
            env.push_back(*e);
    if (!tmpDir.empty())
        env.push_back("TMPDIR=" + tmpDir);
    std::vector<char*> argv, envp;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    ProcessResult result;
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0) {
        }
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = Slurp(outPath);
    result.err = Slurp(errPath);
    return result;
}

std::string BuildPath(const std::string& name) { return std::string(DECKMEND_BUILD_DIR) + "/" + name; }

std::string SharedPath(const std::string& name) {
    return std::string(DECKMEND_SOURCE_DIR) + "/../shared/" + name;
}

std::vector<pid_t> ProcessesMatching(const std::string& pattern) {
    std::vector<pid_t> found;
    std::FILE* pgrep = ::popen(("pgrep -f '" + pattern + "'").c_str(), "r");
    if (!pgrep)
        return found;
    for (int pid = 0; std::fscanf(pgrep, "%d", &pid) == 1;)
        found.push_back(pid);
    ::pclose(pgrep);
    return found;
}

pid_t ProcessOf(const std::string& command) {
    const std::vector<pid_t> found = ProcessesMatching("^" + command);
    return found.empty() ? 0 : found.front();
}

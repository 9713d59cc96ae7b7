#include "automation/office_process.h"

#include <rtl/digest.h>

#include <fcntl.h>
#include <time.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <string_view>
#include <vector>

extern char** environ;

namespace {

constexpr const char* kOfficeProgram = "/usr/lib/libreoffice/program/soffice";

// Groups that are running now, killed at exit should their owners not be
// destroyed in time.
std::mutex g_groupsLock;
std::set<pid_t>* g_groups = nullptr;

void KillRemainingGroups() {
    std::lock_guard guard(g_groupsLock);
    if (g_groups)
        for (pid_t group : *g_groups)
            ::kill(-group, SIGKILL);
}

void TrackGroup(pid_t group) {
    std::lock_guard guard(g_groupsLock);
    if (!g_groups) {
        g_groups = new std::set<pid_t>;  // lives until exit
        std::atexit(KillRemainingGroups);
    }
    g_groups->insert(group);
}

void ForgetGroup(pid_t group) {
    std::lock_guard guard(g_groupsLock);
    if (g_groups)
        g_groups->erase(group);
}

// soffice.bin is a child of the wrapper; when the group is killed it would be
// handed to init, which may never reap it. Becoming a subreaper hands it to
// this process instead, which reaps the whole group.
void BecomeSubreaper() {
    static std::once_flag once;
    std::call_once(once, [] { ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0); });
}

// An office process that dies or is killed leaves its UNO pipe without a
// reader; the bridge's next write must fail, not end this program.
void IgnoreBrokenPipes() {
    static std::once_flag once;
    std::call_once(once, [] { ::signal(SIGPIPE, SIG_IGN); });
}

std::string UniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    return std::to_string(::getpid()) + "_" + std::to_string(counter++) + "_" +
           std::to_string(static_cast<unsigned>(std::random_device{}()) & 0xFFFFFF);
}

std::string NewProfileFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "deckmend-office-XXXXXX").string();
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

// The office leaves two local sockets behind when it is killed: the pipe it
// accepts connections on, and its single-instance pipe, named after an MD5 of
// the profile URL as UTF-16 (hex digits without zero padding).
std::string SocketPath(const std::string& name) { return "/tmp/OSL_PIPE_" + std::to_string(::getuid()) + "_" + name; }

std::string SingleInstancePipe(const std::string& profileUrl) {
    std::u16string wide(profileUrl.begin(), profileUrl.end());  // the URL is ASCII
    std::vector<unsigned char> bytes;
    for (char16_t c : wide) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    unsigned char digest[RTL_DIGEST_LENGTH_MD5] = {};
    rtl_digest_MD5(bytes.data(), static_cast<sal_uInt32>(bytes.size()), digest, sizeof(digest));
    std::string hex;
    char part[4];
    for (unsigned char b : digest) {
        std::snprintf(part, sizeof(part), "%x", b);
        hex += part;
    }
    return "SingleOfficeIPC_" + hex;
}

// A child that outlives this process only to kill the office group: it waits
// on a pipe; end of file (this process is gone) kills the group, a byte ends
// the guardian quietly. Only async-signal-safe calls after the fork.
pid_t StartGuardian(pid_t group, const std::vector<std::string>& leftovers, int& writeEnd) {
    // Made before the fork: the child may only make async-signal-safe calls.
    std::vector<std::string> removeArgs = {"/bin/rm", "-rf", "--"};
    removeArgs.insert(removeArgs.end(), leftovers.begin(), leftovers.end());
    std::vector<char*> removeArgv;
    for (auto& arg : removeArgs)
        removeArgv.push_back(arg.data());
    removeArgv.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return 0;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close_range(3, fds[0] - 1, 0);
        ::close_range(fds[0] + 1, ~0U, 0);
        ::setpgid(0, 0);  // out of the way of signals meant for the parent's group
        char byte = 0;
        ssize_t got;
        do
            got = ::read(fds[0], &byte, 1);
        while (got < 0 && errno == EINTR);
        if (got > 0)
            ::_exit(0);
        ::kill(-group, SIGKILL);
        timespec pause = {0, 500 * 1000 * 1000};  // let the killed office go first
        ::nanosleep(&pause, nullptr);
        ::execv(removeArgv[0], removeArgv.data());
        ::_exit(0);
    }
    ::close(fds[0]);
    if (pid < 0) {
        ::close(fds[1]);
        return 0;
    }
    writeEnd = fds[1];
    return pid;
}

pid_t SpawnOffice(const std::string& profile, const std::string& pipeName) {
    std::string profileArg = "-env:UserInstallation=file://" + profile;
    std::string acceptArg = "--accept=pipe,name=" + pipeName + ";urp;StarOffice.ComponentContext";
    std::vector<std::string> args = {kOfficeProgram, "--headless", "--invisible", "--nologo", "--nodefault",
                                     "--norestore", "--nolockcheck", profileArg, acceptArg};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none, defaults;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);  // the office gets the default handling back
    posix_spawnattr_setsigdefault(&attributes, &defaults);

    // The office's own temporary files go below its profile, which is removed
    // with it, even when the office had to be killed.
    const std::string officeTemp = profile + "/tmp";
    ::mkdir(officeTemp.c_str(), 0700);
    std::vector<std::string> environment{"TMPDIR=" + officeTemp};
    for (char** entry = environ; *entry; ++entry)
        if (std::string_view(*entry).substr(0, 7) != "TMPDIR=")
            environment.emplace_back(*entry);
    std::vector<char*> envp;
    for (auto& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = 0;
    int rc = posix_spawn(&pid, kOfficeProgram, &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : 0;
}

}  // namespace

std::string COfficeProcess::ProgramPath() { return ::access(kOfficeProgram, X_OK) == 0 ? kOfficeProgram : ""; }

std::unique_ptr<COfficeProcess> COfficeProcess::Start() {
    if (ProgramPath().empty())
        return nullptr;
    BecomeSubreaper();
    IgnoreBrokenPipes();
    std::unique_ptr<COfficeProcess> process(new COfficeProcess);
    process->m_profileFolder = NewProfileFolder();
    if (process->m_profileFolder.empty())
        return nullptr;
    process->m_pipeName = "deckmend_office_" + UniqueSuffix();
    process->m_group = SpawnOffice(process->m_profileFolder, process->m_pipeName);
    if (process->m_group <= 0) {
        process->m_reaped = true;
        return nullptr;
    }
    TrackGroup(process->m_group);
    process->m_leftovers = {process->m_profileFolder, SocketPath(process->m_pipeName),
                            SocketPath(SingleInstancePipe("file://" + process->m_profileFolder))};
    process->m_guardian = StartGuardian(process->m_group, process->m_leftovers, process->m_guardianPipe);
    return process;
}

COfficeProcess::~COfficeProcess() {
    Kill();
    Reap();
    if (m_guardianPipe >= 0) {
        char quit = 'q';
        [[maybe_unused]] ssize_t ignored = ::write(m_guardianPipe, &quit, 1);
        ::close(m_guardianPipe);
    }
    if (m_guardian > 0)
        while (::waitpid(m_guardian, nullptr, 0) < 0 && errno == EINTR) {
        }
    std::error_code ignored;
    if (!m_profileFolder.empty())
        std::filesystem::remove_all(m_profileFolder, ignored);
    for (const auto& leftover : m_leftovers)
        std::filesystem::remove_all(leftover, ignored);
}

bool COfficeProcess::Running() {
    std::lock_guard guard(m_reapLock);
    if (m_reaped)
        return false;
    return ::kill(m_group, 0) == 0 && ::waitpid(m_group, nullptr, WNOHANG) == 0;
}

void COfficeProcess::Kill() {
    if (m_group > 0 && !m_reaped)
        ::kill(-m_group, SIGKILL);
}

void COfficeProcess::Reap() {
    std::lock_guard guard(m_reapLock);
    if (m_reaped || m_group <= 0)
        return;
    // First the wrapper, so that its children have been handed to us; then
    // every other member of the group until none is left.
    while (::waitpid(m_group, nullptr, 0) < 0 && errno == EINTR) {
    }
    while (true) {
        pid_t pid = ::waitpid(-m_group, nullptr, 0);
        if (pid < 0 && errno != EINTR)
            break;
    }
    ForgetGroup(m_group);
    m_reaped = true;
}

// deckmend-repair SOURCE DEST: the wizard's repair job from the command line.
// Exit status: 0 repaired, 1 the repair failed or was cancelled, 2 usage error.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

#include "automation/impress_server.h"
#include "cli/console_page.h"
#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "repair/io/mapped_file.h"
#include "repair/job/job_state.h"
#include "repair/job/repair_job.h"
#include "repair/job/source_comparison.h"
#include "repair/job/working_files.h"
#include "ui/settings/settings.h"

namespace {

namespace fs = std::filesystem;

constexpr int kExitRepaired = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct Options {
    std::string source;
    std::string destination;
    bool force = false;
    bool compare = true;
};

void PrintUsage(std::FILE* to) {
    std::fputs("usage: deckmend-repair [--force] [--no-compare] SOURCE DEST\n"
               "Repairs the damaged presentation SOURCE (.ppt, .pps or .pptx) into DEST.\n"
               "  --force        replace DEST when it exists\n"
               "  --no-compare   hand over the repair as it is, without comparing it with\n"
               "                 what the office shows of SOURCE (faster; for batches)\n"
               "Exit status: 0 repaired, 1 the repair failed or was cancelled, 2 usage error.\n",
               to);
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (fs::equivalent(a, b, ec))
        return true;
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec) && !ec;
}

// The options, or an exit status for a usage error (or --help).
bool ParseOptions(int argc, char** argv, Options& options, int& exitStatus) {
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--force" || arg == "-f") {
            options.force = true;
        } else if (arg == "--no-compare") {
            options.compare = false;
        } else if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            exitStatus = kExitRepaired;
            return false;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
            std::fprintf(stderr, "deckmend-repair: unknown option %s\n", arg.c_str());
            PrintUsage(stderr);
            exitStatus = kExitUsage;
            return false;
        } else if (arg != "--") {
            paths.push_back(arg);
        }
    }
    exitStatus = kExitUsage;
    if (paths.size() != 2) {
        PrintUsage(stderr);
        return false;
    }
    options.source = paths[0];
    options.destination = paths[1];
    if (SameFile(options.source, options.destination)) {
        std::fputs("deckmend-repair: DEST must not be SOURCE: the damaged file is never overwritten\n", stderr);
        return false;
    }
    if (FileExists(options.destination) && !options.force) {
        std::fprintf(stderr, "deckmend-repair: %s exists; use --force to replace it\n", options.destination.c_str());
        return false;
    }
    return true;
}

// A temporary folder of this run's own, removed at exit, so that runs can go at once.
class CRunFolder {
public:
    bool Create() {
        std::string pattern = GetTempPathW() + "deckmend-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            return false;
        m_path = pattern;
        SetTempFolder(m_path);
        return true;
    }
    ~CRunFolder() {
        if (!m_path.empty())
            RemoveTree(m_path);
    }

private:
    std::string m_path;
};

void OnInterrupt(int) {
    g_bRun.store(0);  // the job ends with its cancel message
}

// The job, followed by a wake-up of the main thread's pump, so that the end of the
// job is seen at once rather than at the next timer tick.
struct JobStart {
    CWnd* page;
    CQueuePump* pump;
    std::atomic<bool> over{false};
};

UINT RunJobAndWake(void* param) {
    auto* start = static_cast<JobStart*>(param);
    RepairThreadProc(start->page);
    start->over = true;
    start->pump->Wake();
    return 0;
}

void SetSourceNames(const std::string& source) {
    fs::path path(source);
    std::string ext = path.extension().string();
    g_strSourceExt = ext.empty() ? ext : ext.substr(1);
    g_strSourceTitle = path.stem().string();
    g_mappedSource.SetPath(source);
}

// Runs the job on its worker thread while this thread takes the page's messages.
// True when the job ended successfully.
bool RunRepairJob(std::vector<std::string>& messages) {
    std::mutex messagesLock;
    SetMessageBoxHandler([&](const MessageBoxRequest& box) {
        std::lock_guard lock(messagesLock);
        messages.push_back(box.text);
        return IDOK;
    });

    CQueuePump pump;
    RegisterMessagePump(&pump);
    CConsoleFrame frame;
    bool over;
    {
        CConsolePage page(frame, ::isatty(STDERR_FILENO));
        g_bRun.store(1);
        JobStart start{&page, &pump};
        g_pRepairThread = AfxBeginThread(RunJobAndWake, &start);
        pump.RunUntil([&start] { return start.over.load(); }, std::chrono::milliseconds(50),
                      [&page] { page.OnTimer(); });
        g_pRepairThread->Join();
        delete g_pRepairThread;
        g_pRepairThread = nullptr;
        over = page.Over();
    }
    RegisterMessagePump(nullptr);
    SetMessageBoxHandler({});
    return over && !frame.BackToStart();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    int exitStatus = kExitUsage;
    if (!ParseOptions(argc, argv, options, exitStatus))
        return exitStatus;

    InitSettings();
    RegisterImpressServer();
    CRunFolder folder;
    if (!folder.Create()) {
        std::fputs("deckmend-repair: cannot create a temporary folder\n", stderr);
        return kExitFailed;
    }
    SetSourceNames(options.source);
    g_bCompareWithSource = options.compare;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);

    std::vector<std::string> messages;
    bool repaired = RunRepairJob(messages);
    for (const auto& text : messages)
        std::fprintf(stderr, "deckmend-repair: %s\n", text.c_str());
    if (!g_strResultReport.empty())
        std::printf("%s\n", g_strResultReport.c_str());
    if (!repaired)
        return kExitFailed;

    // As the save page does: the working copy goes to the destination and is gone.
    std::string working = g_strWorkingPath.empty() ? TempFilePath(kPackageResultName) : g_strWorkingPath;
    if (!MoveFileReplace(working, options.destination)) {
        std::fprintf(stderr, "deckmend-repair: cannot write %s\n", options.destination.c_str());
        return kExitFailed;
    }
    std::printf("Repaired: %s\n", options.destination.c_str());
    return kExitRepaired;
}

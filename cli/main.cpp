// deckmend-repair: the wizard's repair job from the command line, for one file
// or for many at once.
// Exit status: 0 repaired, 1 the repair failed or was cancelled, 2 usage error.
#include <algorithm>
#include <chrono>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <nlohmann/json.hpp>

#include "automation/impress_server.h"
#include "cli/batch.h"
#include "cli/console_progress.h"
#include "platform/com_runtime.h"
#include "platform/file_ops.h"
#include "platform/folders.h"
#include "repair/job/repair_job.h"
#include "repair/job/report_text.h"
#include "ui/settings/settings.h"

namespace {

namespace fs = std::filesystem;

constexpr int kExitRepaired = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct Options {
    std::vector<std::string> sources;
    std::string destination;  // one file
    std::string outDir;       // many files
    std::string reportPath;
    unsigned jobs = 0;
    bool force = false;
    bool compare = true;
    bool progress = true;
    bool worker = false;  // a batch's worker: the files come on stdin
};

// A batch worker's office ends when no file came for this long.
constexpr auto kWorkerOfficeIdle = std::chrono::seconds(60);

void PrintUsage(std::FILE* to) {
    std::fputs("usage: deckmend-repair [OPTIONS] SOURCE DEST\n"
               "       deckmend-repair [OPTIONS] --out-dir DIR SOURCE...\n"
               "Repairs the damaged presentation SOURCE (.ppt, .pps or .pptx) into DEST, or\n"
               "each SOURCE into DIR under its own name.\n"
               "  --force          replace DEST (or the files in DIR) when it exists\n"
               "  --no-compare     hand over the repair as it is, without comparing it with\n"
               "                   what the office shows of SOURCE (faster)\n"
               "  --report FILE    write the recovery report as JSON to FILE\n"
               "  --out-dir DIR    repair every SOURCE into DIR\n"
               "  --jobs N         with --out-dir: N repairs at a time (default: the cores)\n"
               "  --no-progress    draw no progress bar\n"
               "Exit status: 0 repaired (every file, with --out-dir), 1 a repair failed or\n"
               "was cancelled, 2 usage error.\n",
               to);
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (fs::equivalent(a, b, ec))
        return true;
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec) && !ec;
}

int UsageError(const std::string& text) {
    std::fprintf(stderr, "deckmend-repair: %s\n", text.c_str());
    return kExitUsage;
}

// The value of an option that takes one, or nullptr when it is missing.
const char* ValueOf(int argc, char** argv, int& i) { return i + 1 < argc ? argv[++i] : nullptr; }

// The options, or an exit status for a usage error (or --help).
bool ParseOptions(int argc, char** argv, Options& options, int& exitStatus) {
    exitStatus = kExitUsage;
    std::vector<std::string> paths;
    bool onlyPaths = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = nullptr;
        if (onlyPaths || arg.size() < 2 || arg[0] != '-') {
            paths.push_back(arg);
        } else if (arg == "--") {
            onlyPaths = true;
        } else if (arg == "--force" || arg == "-f") {
            options.force = true;
        } else if (arg == "--no-compare") {
            options.compare = false;
        } else if (arg == "--no-progress") {
            options.progress = false;
        } else if (arg == kBatchWorkerOption) {
            options.worker = true;
        } else if (arg == "--report" || arg == "--out-dir" || arg == "--jobs") {
            if (!(value = ValueOf(argc, argv, i))) {
                exitStatus = UsageError(arg + " needs a value");
                return false;
            }
            if (arg == "--report")
                options.reportPath = value;
            else if (arg == "--out-dir")
                options.outDir = value;
            else if ((options.jobs = static_cast<unsigned>(std::strtoul(value, nullptr, 10))) == 0 ||
                     options.jobs > 64) {
                exitStatus = UsageError("--jobs takes a number from 1 to 64");
                return false;
            }
        } else if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            exitStatus = kExitRepaired;
            return false;
        } else {
            std::fprintf(stderr, "deckmend-repair: unknown option %s\n", arg.c_str());
            PrintUsage(stderr);
            return false;
        }
    }
    if (options.worker)
        return paths.empty();
    if (!options.outDir.empty()) {
        options.sources = paths;
        if (paths.empty()) {
            PrintUsage(stderr);
            return false;
        }
        std::error_code ec;
        if (!fs::is_directory(options.outDir, ec)) {
            exitStatus = UsageError(options.outDir + " is not a folder");
            return false;
        }
        return true;
    }
    if (paths.size() != 2) {
        PrintUsage(stderr);
        return false;
    }
    options.sources = {paths[0]};
    options.destination = paths[1];
    return true;
}

// The destination is checked before any work: a repair of a minute must not
// end in a folder that cannot take its result.
bool CheckDestination(const std::string& source, const std::string& destination, bool force, int& exitStatus) {
    exitStatus = kExitUsage;
    if (SameFile(source, destination)) {
        std::fputs("deckmend-repair: DEST must not be SOURCE: the damaged file is never overwritten\n", stderr);
        return false;
    }
    const std::string problem = DestinationProblem(destination);
    if (!problem.empty()) {
        UsageError("cannot write " + destination + ": " + problem);
        return false;
    }
    if (FileExists(destination) && !force) {
        std::fprintf(stderr, "deckmend-repair: %s exists; use --force to replace it\n", destination.c_str());
        return false;
    }
    return true;
}

std::atomic<bool> g_interrupted{false};

// The token of the job that runs, if one does; cancelling it is a lock-free
// store, safe in a signal handler.
std::atomic<CancelToken*> g_runningJob{nullptr};

void OnInterrupt(int) {
    g_interrupted.store(true);
    if (CancelToken* job = g_runningJob.load())
        job->Cancel();  // the job ends as cancelled
}

// The job's token is the one an interrupt cancels for as long as this lives.
class CRunningJob {
public:
    explicit CRunningJob(CancelToken& token) { g_runningJob.store(&token); }
    ~CRunningJob() { g_runningJob.store(nullptr); }
    CRunningJob(const CRunningJob&) = delete;
    CRunningJob& operator=(const CRunningJob&) = delete;
};

// Runs the job on a worker thread while this thread draws the progress bar.
RepairResult RunRepair(const RepairRequest& request, const std::string& folder, bool drawBar) {
    CConsoleProgress bar(drawBar);
    RepairContext context;
    context.tempFolder = folder;
    context.progress = [&bar](std::uint64_t done, std::uint64_t total) { bar.Update(done, total); };
    RepairResult result;
    std::promise<void> ended;
    std::future<void> over = ended.get_future();
    const CRunningJob running(context.cancel);
    std::thread worker([&] {
        result = RepairPresentation(request, context);
        // Balances the office session's initialisation on this thread.
        CoUninitialize();
        ended.set_value();
    });
    // Drawn every 50 ms; the result is taken the moment it is there.
    while (over.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
        bar.Draw();
    worker.join();
    bar.Finish();
    return result;
}

bool WriteReport(const std::string& path, const nlohmann::json& report) {
    std::ofstream out(path, std::ios::trunc);
    out << DumpReport(report) << '\n';
    return static_cast<bool>(out.flush());
}

// Repairs `source` into `destination`, printing the summary; the exit status.
int RepairFile(const std::string& source, const std::string& destination, const std::string& reportPath,
               const Options& options) {
    int exitStatus = kExitUsage;
    if (!CheckDestination(source, destination, options.force, exitStatus))
        return exitStatus;
    CPrivateFolder folder;
    if (!folder.Create(GetTempPathW())) {
        std::fputs("deckmend-repair: cannot create a temporary folder\n", stderr);
        return kExitFailed;
    }

    RepairRequest request;
    request.source = source;
    request.compareWithSource = options.compare;
    RepairResult result = RunRepair(request, folder.Path() + "/", options.progress && ::isatty(STDERR_FILENO));

    std::string placed;
    if (result.Usable()) {
        const int error = PlaceFile(result.resultPath, destination, options.force);
        if (error == 0) {
            placed = destination;
        } else {
            result.report.outcome = RepairOutcome::Failed;
            result.report.reason = error == EEXIST ? destination + " appeared during the repair; use --force to replace it"
                                                   : "cannot write " + destination + ": " + std::strerror(error);
        }
    }
    // The comparison's line says which result was kept; over a failure it would
    // read like a success.
    if (!result.comparison.empty() && result.Usable())
        std::printf("%s\n", result.comparison.c_str());
    std::printf("%s\n", ReportSummary(result).c_str());
    if (!placed.empty())
        std::printf("Saved: %s\n", placed.c_str());
    else
        std::fprintf(stderr, "deckmend-repair: %s\n", result.report.reason.c_str());
    std::fflush(stdout);
    if (!reportPath.empty() && !WriteReport(reportPath, ReportJson(result, source, placed)))
        std::fprintf(stderr, "deckmend-repair: cannot write the report %s\n", reportPath.c_str());
    return placed.empty() ? kExitFailed : kExitRepaired;
}

void StartSession() {
    InitSettings();
    RegisterImpressServer();
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

// One file: repair SOURCE into DEST.
int RepairOne(const Options& options) {
    int exitStatus = kExitUsage;
    if (!CheckDestination(options.sources[0], options.destination, options.force, exitStatus))
        return exitStatus;  // before the office or the settings are touched
    StartSession();
    return RepairFile(options.sources[0], options.destination, options.reportPath, options);
}

// A worker of a batch: repairs the files that the batch gives it one after
// another, with one office kept warm between them.
int RunWorker(const Options& options) {
    StartSession();
    KeepImpressServerWarm(kWorkerOfficeIdle);
    const int exitStatus = RunBatchWorker(
        [&options](const BatchTask& task) {
            return RepairFile(task.source, task.destination, task.report, options);
        },
        g_interrupted);
    KeepImpressServerWarm(std::chrono::milliseconds(0));  // the office and its files go before the worker ends
    return exitStatus;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    int exitStatus = kExitUsage;
    if (!ParseOptions(argc, argv, options, exitStatus))
        return exitStatus;
    if (options.worker)
        return RunWorker(options);
    if (options.outDir.empty())
        return RepairOne(options);

    BatchOptions batch;
    std::error_code ec;
    batch.self = fs::read_symlink("/proc/self/exe", ec).string();
    if (batch.self.empty())
        batch.self = argv[0];
    batch.sources = options.sources;
    batch.outDir = options.outDir;
    batch.reportPath = options.reportPath;
    batch.jobs = options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    batch.force = options.force;
    batch.compare = options.compare;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    return RunBatch(batch, g_interrupted) ? kExitRepaired : kExitFailed;
}

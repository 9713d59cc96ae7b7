#include "cli/batch.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "platform/file_ops.h"
#include "platform/folders.h"
#include "repair/job/report_text.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Run {
    std::size_t index;
    std::string source;
    std::string destination;
    std::string report;  // the child's JSON report
    std::string output;  // the child's stdout and stderr
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Starts the repair of one file; its output goes to a file of the batch's folder.
pid_t Start(const BatchOptions& options, const Run& run) {
    std::vector<std::string> args = {options.self, "--no-progress", "--report", run.report};
    if (options.force)
        args.push_back("--force");
    if (!options.compare)
        args.push_back("--no-compare");
    args.insert(args.end(), {"--", run.source, run.destination});
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, run.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, options.self.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The child's report, or one made from what it printed when it wrote none
// (a usage error, such as a destination that exists).
nlohmann::json ReportOf(const Run& run, int exitStatus) {
    const std::string text = ReadAll(run.report);
    nlohmann::json report = nlohmann::json::parse(text, nullptr, false);
    if (!text.empty() && !report.is_discarded())
        return report;
    std::string reason = ReadAll(run.output);
    while (!reason.empty() && reason.back() == '\n')
        reason.pop_back();
    return {{"format", kReportFormatVersion}, {"source", run.source}, {"destination", nullptr},
            {"outcome", "failed"}, {"reason", reason.empty() ? "exit status " + std::to_string(exitStatus) : reason}};
}

// One line: the file and the first line of its summary.
void PrintLine(const Run& run, const nlohmann::json& report) {
    const std::string outcome = report.value("outcome", "failed");
    std::string line = outcome;
    if (outcome == "failed" || outcome == "cancelled") {
        line += ": " + report.value("reason", std::string());
    } else if (report.contains("result")) {
        const auto& result = report["result"];
        const auto count = [&result](const char* key) {
            const auto it = result.find(key);
            return it != result.end() && it->is_number() ? std::to_string(it->get<long long>()) : std::string("?");
        };
        line += ": " + count("slides") + " slides, " + count("characters") + " characters (" +
                report.value("method", "") + ")";
    }
    std::printf("%s: %s\n", run.source.c_str(), line.c_str());
    std::fflush(stdout);
}

}  // namespace

bool RunBatch(const BatchOptions& options, const std::atomic<bool>& interrupted) {
    CPrivateFolder folder;
    if (!folder.Create(GetTempPathW())) {
        std::fputs("deckmend-repair: cannot create a temporary folder\n", stderr);
        return false;
    }
    std::vector<Run> runs;
    for (std::size_t i = 0; i < options.sources.size(); ++i) {
        const std::string& source = options.sources[i];
        const std::string base = folder.Path() + "/" + std::to_string(i);
        runs.push_back({i, source, (fs::path(options.outDir) / fs::path(source).filename()).string(), base + ".json",
                        base + ".out"});
    }
    std::vector<nlohmann::json> reports(runs.size());
    std::map<pid_t, std::size_t> running;
    std::size_t next = 0;
    bool allRepaired = true;
    bool stopping = false;
    while (next < runs.size() || !running.empty()) {
        while (!interrupted && next < runs.size() && running.size() < options.jobs) {
            const pid_t pid = Start(options, runs[next]);
            if (pid < 0) {
                reports[next] = ReportOf(runs[next], -1);
                PrintLine(runs[next], reports[next]);
                allRepaired = false;
            } else {
                running[pid] = next;
            }
            ++next;
        }
        if (interrupted && !stopping) {
            // Every run still going ends as cancelled; those not started never start.
            stopping = true;
            for (const auto& [pid, index] : running)
                ::kill(pid, SIGTERM);
            for (; next < runs.size(); ++next) {
                reports[next] = {{"format", kReportFormatVersion}, {"source", runs[next].source},
                                 {"destination", nullptr}, {"outcome", "cancelled"}, {"reason", "not started"}};
                allRepaired = false;
            }
        }
        int status = 0;
        const pid_t ended = ::waitpid(-1, &status, WNOHANG);
        if (ended <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        const auto it = running.find(ended);
        if (it == running.end())
            continue;
        const Run& run = runs[it->second];
        const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        reports[it->second] = ReportOf(run, exitStatus);
        allRepaired = allRepaired && exitStatus == 0;
        PrintLine(run, reports[it->second]);
        running.erase(it);
    }
    if (!options.reportPath.empty()) {
        std::size_t repaired = 0;
        for (const auto& report : reports)
            repaired += report.value("destination", nlohmann::json()).is_string();
        const nlohmann::json all = {{"format", kReportFormatVersion},
                                    {"files", reports},
                                    {"repaired", repaired},
                                    {"notRepaired", reports.size() - repaired}};
        std::ofstream out(options.reportPath, std::ios::trunc);
        out << DumpReport(all) << '\n';
        if (!out.flush())
            std::fprintf(stderr, "deckmend-repair: cannot write the report %s\n", options.reportPath.c_str());
    }
    return allRepaired;
}

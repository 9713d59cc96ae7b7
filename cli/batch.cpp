#include "cli/batch.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
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

// The descriptor on which a worker tells the batch each exit status.
constexpr int kResultDescriptor = 3;

// A worker process: it reads tasks from `tasks` and answers on `results`.
struct Worker {
    pid_t pid = -1;
    int tasks = -1;    // write end of its stdin
    int results = -1;  // read end of its result pipe
    std::optional<std::size_t> run;  // the file it is repairing
    std::string answer;              // what it has said of that file so far
};

// Starts a worker with its output going nowhere until its first task.
std::optional<Worker> StartWorker(const BatchOptions& options) {
    int tasks[2], results[2];
    if (::pipe2(tasks, O_CLOEXEC) != 0)
        return std::nullopt;
    if (::pipe2(results, O_CLOEXEC) != 0) {
        ::close(tasks[0]);
        ::close(tasks[1]);
        return std::nullopt;
    }
    std::vector<std::string> args = {options.self, kBatchWorkerOption, "--no-progress"};
    if (options.force)
        args.push_back("--force");
    if (!options.compare)
        args.push_back("--no-compare");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, tasks[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, results[1], kResultDescriptor);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    Worker worker;
    if (posix_spawn(&worker.pid, options.self.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        worker.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(tasks[0]);
    ::close(results[1]);
    worker.tasks = tasks[1];
    worker.results = results[0];
    if (worker.pid < 0) {
        ::close(worker.tasks);
        ::close(worker.results);
        return std::nullopt;
    }
    return worker;
}

bool WriteAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Hands `run` to the worker: its four paths, each ended by a zero byte (a
// path may hold any other byte).
bool GiveTask(Worker& worker, const Run& run) {
    std::string task;
    for (const std::string* field : {&run.source, &run.destination, &run.report, &run.output})
        task += *field + '\0';
    worker.answer.clear();
    worker.run = run.index;
    return WriteAll(worker.tasks, task);
}

// Closes the worker's task pipe (it ends after its file) and waits for it;
// its exit status as a wait status.
int EndWorker(Worker& worker) {
    if (worker.tasks >= 0)
        ::close(worker.tasks);
    if (worker.results >= 0)
        ::close(worker.results);
    worker.tasks = worker.results = -1;
    int status = 0;
    while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
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
    bool allRepaired = true;
    const auto finish = [&](std::size_t index, int exitStatus) {
        reports[index] = ReportOf(runs[index], exitStatus);
        allRepaired = allRepaired && exitStatus == 0;
        PrintLine(runs[index], reports[index]);
    };

    std::signal(SIGPIPE, SIG_IGN);  // a worker that died is seen by its pipe, not by a signal
    std::vector<Worker> workers;
    std::size_t next = 0;
    bool stopping = false;
    // Gives the next file to `worker`, or lets it end when none is left.
    const auto feed = [&](Worker& worker) {
        worker.run.reset();
        if (stopping || next >= runs.size()) {
            ::close(worker.tasks);
            worker.tasks = -1;
            return;
        }
        const std::size_t index = next++;
        if (!GiveTask(worker, runs[index])) {
            worker.run.reset();
            finish(index, -1);
        }
    };
    for (unsigned k = 0; k < options.jobs && k < runs.size(); ++k) {
        std::optional<Worker> worker = StartWorker(options);
        if (worker) {
            workers.push_back(*worker);
            feed(workers.back());
        }
    }
    if (workers.empty())
        for (; next < runs.size(); ++next)
            finish(next, -1);

    while (std::any_of(workers.begin(), workers.end(), [](const Worker& w) { return w.results >= 0; })) {
        if (interrupted && !stopping) {
            // Every file still being repaired ends as cancelled; those not started never start.
            stopping = true;
            for (const Worker& worker : workers)
                ::kill(worker.pid, SIGTERM);
            for (; next < runs.size(); ++next) {
                reports[next] = {{"format", kReportFormatVersion}, {"source", runs[next].source},
                                 {"destination", nullptr}, {"outcome", "cancelled"}, {"reason", "not started"}};
                allRepaired = false;
            }
        }
        std::vector<pollfd> waiting;
        for (const Worker& worker : workers)
            if (worker.results >= 0)
                waiting.push_back({worker.results, POLLIN, 0});
        if (::poll(waiting.data(), waiting.size(), 100) <= 0)
            continue;
        for (Worker& worker : workers) {
            const auto it = std::find_if(waiting.begin(), waiting.end(),
                                         [&](const pollfd& p) { return p.fd == worker.results && p.revents; });
            if (it == waiting.end())
                continue;
            char buffer[64];
            const ssize_t n = ::read(worker.results, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n > 0) {
                worker.answer.append(buffer, static_cast<std::size_t>(n));
                const std::size_t end = worker.answer.find('\n');
                if (end != std::string::npos && worker.run) {
                    finish(*worker.run, std::atoi(worker.answer.substr(0, end).c_str()));
                    feed(worker);
                }
                continue;
            }
            // The worker ended: after its last file, or died during one; another
            // takes the files that are left.
            const std::optional<std::size_t> lost = worker.run;
            const int status = EndWorker(worker);
            if (lost)
                finish(*lost, WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
            if (!stopping && next < runs.size())
                if (std::optional<Worker> replacement = StartWorker(options)) {
                    worker = *replacement;
                    feed(worker);
                }
        }
    }
    for (; next < runs.size(); ++next)  // no worker could be started for them
        finish(next, -1);
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

int RunBatchWorker(const std::function<int(const BatchTask&)>& repair, const std::atomic<bool>& interrupted) {
    std::signal(SIGPIPE, SIG_IGN);
    const auto field = [](std::string& value) {
        value.clear();
        for (int c; (c = std::getchar()) != EOF;) {
            if (c == '\0')
                return true;
            value.push_back(static_cast<char>(c));
        }
        return false;
    };
    BatchTask task;
    while (!interrupted && field(task.source) && field(task.destination) && field(task.report) &&
           field(task.output)) {
        // The file's output goes to its own file, as if it had been repaired alone.
        std::fflush(stdout);
        std::fflush(stderr);
        const int output = ::open(task.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (output >= 0) {
            ::dup2(output, STDOUT_FILENO);
            ::dup2(output, STDERR_FILENO);
            ::close(output);
        }
        const int exitStatus = repair(task);
        std::fflush(stdout);
        std::fflush(stderr);
        if (!WriteAll(kResultDescriptor, std::to_string(exitStatus) + "\n"))
            return 1;  // the batch is gone
    }
    return 0;
}

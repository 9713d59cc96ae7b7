#pragma once
// Many files at once: a few worker processes, each with its own temporary
// folders and one office that it keeps for all its files, repair them in turn.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

// The hidden option that makes this program a batch's worker.
inline constexpr const char* kBatchWorkerOption = "--batch-worker";

struct BatchOptions {
    std::string self;                  // this program, run as the workers
    std::vector<std::string> sources;
    std::string outDir;                // each result goes here under its source's name
    std::string reportPath;            // the JSON report of all files; empty for none
    unsigned jobs = 1;
    bool force = false;
    bool compare = true;
};

// Repairs every source, printing one line per file as it ends. True when every
// file was repaired. `interrupted` stops the runs (they end as cancelled).
bool RunBatch(const BatchOptions& options, const std::atomic<bool>& interrupted);

// One file of a batch, as a worker gets it.
struct BatchTask {
    std::string source;
    std::string destination;
    std::string report;  // where the file's JSON report goes
    std::string output;  // where its stdout and stderr go
};

// The worker's side: takes tasks from stdin until it ends (or `interrupted`),
// repairs each with `repair` with its output in the task's output file, and
// tells the batch each exit status. The worker's exit status.
int RunBatchWorker(const std::function<int(const BatchTask&)>& repair, const std::atomic<bool>& interrupted);

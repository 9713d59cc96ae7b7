#pragma once
// Many files at once: each is repaired by a process of its own (its own
// temporary folder and office), a few at a time.
#include <atomic>
#include <string>
#include <vector>

struct BatchOptions {
    std::string self;                  // this program, run once per file
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

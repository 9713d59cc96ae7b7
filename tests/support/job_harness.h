#pragma once
// Runs the repair job as the wizard and the command line run it, on a worker
// thread, and records what it reported on the way.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "repair/job/repair_job.h"
#include "repair/job/repair_state.h"

struct JobRecord {
    RepairResult result;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;  // (done, total), in order
    std::vector<RepairPhase> phases;
    std::shared_ptr<const RepairState> state;  // what the steps shared, as the job left it

    bool Failed() const { return !result.Usable(); }
    const std::string& Reason() const { return result.report.reason; }
    RepairOutcome Outcome() const { return result.report.outcome; }
};

struct JobOptions {
    bool cancelled = false;           // the job is cancelled before it starts
    std::function<void()> onWorker;   // runs first on the job's thread
    bool withOffice = false;          // the office server stays registered
    SlidePictureRequest slidePictures;
};

// Repairs `source` in `tempFolder`, without an office server unless asked (so
// that jobs end where the office would take over; the office's part is tested
// through deckmend-repair).
JobRecord RunJob(const std::string& source, const std::string& tempFolder, const JobOptions& options = {});

// The English text of a key, read as the job reads it.
std::string Text(const char* key);

#pragma once
// The repair job: turns the chosen file into a repaired copy in the job's own
// temporary folder and says what came back. The wizard's repair page and
// deckmend-repair run it on a worker thread and show its result; the job shows
// nothing itself.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "repair/io/job_control.h"
#include "repair/job/source_comparison.h"
#include "repair/recovery_report.h"
#include "repair/repair_phase.h"

struct RepairRequest {
    std::string source;              // the damaged file; it is only ever read
    bool compareWithSource = true;   // end with the comparison with what the office shows of it
    // Pictures of the result's first slides, for a preview; made only where the
    // office opens the result anyway, and never a reason for a repair to fail.
    SlidePictureRequest slidePictures;
};

struct RepairState;

struct RepairContext {
    RepairContext();
    ~RepairContext();
    RepairContext(const RepairContext&) = delete;
    RepairContext& operator=(const RepairContext&) = delete;

    // The job's private folder: its working files and the result are made there
    // (the caller makes it and removes it when the result has been taken).
    std::string tempFolder;
    // Progress as done of total (bytes or steps); called on the job's thread.
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
    // The phase the job has entered; called on the job's thread.
    std::function<void(RepairPhase)> phase;
    // The job's cancel and hold: whoever runs the job cancels it, or holds it
    // while the user is asked, through this token from any thread.
    CancelToken cancel;
    // What the steps share while the job runs: made anew when it starts, and
    // kept after it (what the scans found can be looked at).
    std::unique_ptr<RepairState> state;
};

struct RepairResult {
    RecoveryReport report;
    // The file to hand over (inside the temporary folder); empty unless the
    // outcome is Repaired, RepairedInPart or KeptSource.
    std::string resultPath;
    // The comparison's line: which result was kept and why; empty without one.
    std::string comparison;

    bool Usable() const {
        return report.outcome == RepairOutcome::Repaired || report.outcome == RepairOutcome::RepairedInPart ||
               report.outcome == RepairOutcome::KeptSource;
    }
};

// Runs one repair from start to end. Never throws; out of memory, a read error
// of the disk and every other failure come back as a Failed result with its
// reason in the user's language.
RepairResult RepairPresentation(const RepairRequest& request, RepairContext& context);

#pragma once
// What every step of a repair reads to know whether to go on, and where it
// reports its progress: the run flag with its hold, and the reporters that the
// job sets from its context. The scanners, the rebuilds and the carver use it;
// they know nothing else of the job.
#include <atomic>
#include <cstdint>
#include <functional>

#include "repair/repair_phase.h"

// 1 while the repair may go on; the cancel confirmation sets it to 0. Every long
// scan polls it before each block or group it reads.
extern std::atomic<std::int32_t> g_bRun;

// Holding the job: while the repair page asks the user whether to cancel, the
// job must not go on (nor end) behind the question. A hold makes every other
// thread wait at its next check of the run flag until the last hold is
// released; holds nest. Threads that hold never wait on their own hold.
void HoldRepair();
void ReleaseRepair();
// True while at least one hold is in place.
bool RepairHeld();
// Waits while the job is held (called by RepairCancelled, not on the fast path).
void WaitWhileRepairHeld();

namespace detail {
extern std::atomic<int> g_nRepairHolds;
}

inline bool RepairCancelled() {
    if (detail::g_nRepairHolds.load(std::memory_order_acquire) != 0)
        WaitWhileRepairHeld();
    return g_bRun.load(std::memory_order_relaxed) == 0;
}

// Where the running job's progress and phases go (set by the job from its
// context for the time it runs; empty functions send nothing).
void SetRepairReporters(std::function<void(std::uint64_t, std::uint64_t)> progress,
                        std::function<void(RepairPhase)> phase);
// Progress as (done, total). Values that do not fit 32 bits are scaled down
// together, so the ratio shown holds for files of 4 GiB and more.
void SendProgress(std::uint64_t done, std::uint64_t total);
void SendPhase(RepairPhase phase);

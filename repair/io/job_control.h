#pragma once
// What every step of a repair reads to know whether to go on, and where it
// reports its progress: the job's cancel token with its hold, and its
// reporters. The scanners, the rebuilds and the carver get them from the job;
// they know nothing else of it.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include "repair/repair_phase.h"

// One job's cancel. Every long scan polls it before each block or group it reads.
//
// Holding the job: while the repair page asks the user whether to cancel, the
// job must not go on (nor end) behind the question. A hold makes every other
// thread wait at its next check until the last hold is released; holds nest.
// Threads that hold never wait on their own hold.
class CancelToken {
public:
    CancelToken() = default;
    CancelToken(const CancelToken&) = delete;
    CancelToken& operator=(const CancelToken&) = delete;

    // True once cancelled; waits first while another thread holds the token.
    bool Cancelled() const {
        if (m_holds.load(std::memory_order_acquire) != 0)
            WaitWhileHeld();
        return CancelRequested();
    }
    // Whether a cancel was asked for, without waiting on a hold. Safe in a
    // signal handler, as is Cancel.
    bool CancelRequested() const { return m_cancelled.load(std::memory_order_relaxed); }
    void Cancel() { m_cancelled.store(true, std::memory_order_relaxed); }

    void Hold();
    // Takes back one hold of the calling thread; false when it holds none (an
    // unbalanced release must not free someone else's hold).
    bool Release();
    // True while at least one hold is in place.
    bool Held() const { return m_holds.load(std::memory_order_acquire) != 0; }

private:
    void WaitWhileHeld() const;

    static_assert(std::atomic<bool>::is_always_lock_free, "Cancel is called from signal handlers");

    std::atomic<bool> m_cancelled{false};
    std::atomic<int> m_holds{0};
    mutable std::mutex m_holdLock;
    mutable std::condition_variable m_holdReleased;
    std::multiset<std::thread::id> m_holders;
};

// Where one job's progress and phases go; empty functions send nothing.
struct JobReporter {
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
    std::function<void(RepairPhase)> phase;

    // Progress as (done, total). Values that do not fit 32 bits are scaled down
    // together, so the ratio shown holds for files of 4 GiB and more.
    void Progress(std::uint64_t done, std::uint64_t total) const;
    void Phase(RepairPhase entered) const;
};

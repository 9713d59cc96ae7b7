#include "repair/io/job_control.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

std::atomic<std::int32_t> g_bRun{0};

namespace {
std::function<void(std::uint64_t, std::uint64_t)> g_progressSink;
std::function<void(RepairPhase)> g_phaseSink;
}  // namespace

void SetRepairReporters(std::function<void(std::uint64_t, std::uint64_t)> progress,
                        std::function<void(RepairPhase)> phase) {
    g_progressSink = std::move(progress);
    g_phaseSink = std::move(phase);
}

void SendProgress(std::uint64_t done, std::uint64_t total) {
    // An output can grow past the size it is measured against (a package's new
    // directory): the bar stops at its end.
    done = std::min(done, total);
    while (total > UINT32_MAX || done > UINT32_MAX) {
        total >>= 1;
        done >>= 1;
    }
    if (g_progressSink)
        g_progressSink(done, total);
}

void SendPhase(RepairPhase phase) {
    if (g_phaseSink)
        g_phaseSink(phase);
}

namespace detail {
std::atomic<int> g_nRepairHolds{0};
}

namespace {
std::mutex g_holdLock;
std::condition_variable g_holdReleased;
std::multiset<std::thread::id> g_holders;
}  // namespace

void HoldRepair() {
    std::lock_guard lock(g_holdLock);
    g_holders.insert(std::this_thread::get_id());
    detail::g_nRepairHolds.fetch_add(1, std::memory_order_release);
}

void ReleaseRepair() {
    {
        std::lock_guard lock(g_holdLock);
        auto it = g_holders.find(std::this_thread::get_id());
        if (it == g_holders.end())
            return;  // an unbalanced release must not free someone else's hold
        g_holders.erase(it);
        detail::g_nRepairHolds.fetch_sub(1, std::memory_order_release);
    }
    g_holdReleased.notify_all();
}

bool RepairHeld() { return detail::g_nRepairHolds.load(std::memory_order_acquire) != 0; }

void WaitWhileRepairHeld() {
    std::unique_lock lock(g_holdLock);
    // A holder checking the flag itself must not wait for its own release.
    g_holdReleased.wait(lock, [] {
        return g_holders.empty() || g_holders.count(std::this_thread::get_id()) != 0;
    });
}

#include "repair/job/job_state.h"

#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "repair/job/messages.h"

std::atomic<std::int32_t> g_bRun{0};
CWnd* g_pRepairPage = nullptr;
CWinThread* g_pRepairThread = nullptr;
std::string g_strWorkingPath;
std::int16_t g_nSectorSize = 512;

void SendProgress(std::uint64_t done, std::uint64_t total) {
    while (total > UINT32_MAX || done > UINT32_MAX) {
        total >>= 1;
        done >>= 1;
    }
    SendMessageW(g_pRepairPage, WM_REPAIR_PROGRESS, static_cast<WPARAM>(done), static_cast<LPARAM>(total));
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

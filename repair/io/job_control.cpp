#include "repair/io/job_control.h"

#include <algorithm>

void CancelToken::Hold() {
    std::lock_guard lock(m_holdLock);
    m_holders.insert(std::this_thread::get_id());
    m_holds.fetch_add(1, std::memory_order_release);
}

bool CancelToken::Release() {
    {
        std::lock_guard lock(m_holdLock);
        auto it = m_holders.find(std::this_thread::get_id());
        if (it == m_holders.end())
            return false;
        m_holders.erase(it);
        m_holds.fetch_sub(1, std::memory_order_release);
    }
    m_holdReleased.notify_all();
    return true;
}

void CancelToken::WaitWhileHeld() const {
    std::unique_lock lock(m_holdLock);
    // A holder checking the token itself must not wait for its own release.
    m_holdReleased.wait(lock, [this] {
        return m_holders.empty() || m_holders.count(std::this_thread::get_id()) != 0;
    });
}

void JobReporter::Progress(std::uint64_t done, std::uint64_t total) const {
    // An output can grow past the size it is measured against (a package's new
    // directory): the bar stops at its end.
    done = std::min(done, total);
    while (total > UINT32_MAX || done > UINT32_MAX) {
        total >>= 1;
        done >>= 1;
    }
    if (progress)
        progress(done, total);
}

void JobReporter::Phase(RepairPhase entered) const {
    if (phase)
        phase(entered);
}

#include "platform/window.h"

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>

namespace {

std::mutex g_pumpsLock;
std::map<std::thread::id, CMessagePump*> g_pumps;

CMessagePump* PumpOf(std::thread::id thread) {
    std::lock_guard lock(g_pumpsLock);
    auto it = g_pumps.find(thread);
    return it == g_pumps.end() ? nullptr : it->second;
}

}  // namespace

CWnd::CWnd() : m_ownerThread(std::this_thread::get_id()) {}
CWnd::~CWnd() = default;

CWnd* CWnd::GetDlgItem(int id) const {
    auto it = m_children.find(id);
    return it == m_children.end() ? nullptr : it->second;
}

void CWnd::SetDlgItem(int id, CWnd* child) {
    if (child)
        m_children[id] = child;
    else
        m_children.erase(id);
}

void RegisterMessagePump(CMessagePump* pump) {
    std::lock_guard lock(g_pumpsLock);
    if (pump)
        g_pumps[std::this_thread::get_id()] = pump;
    else
        g_pumps.erase(std::this_thread::get_id());
}

LRESULT SendMessageW(CWnd* target, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!target)
        return 0;
    CMessagePump* pump = nullptr;
    if (target->OwnerThread() != std::this_thread::get_id())
        pump = PumpOf(target->OwnerThread());
    if (!pump)
        return target->WindowProc(message, wParam, lParam);

    std::packaged_task<LRESULT()> call([=] { return target->WindowProc(message, wParam, lParam); });
    auto result = call.get_future();
    pump->Post([&call] { call(); });
    return result.get();
}

struct CQueuePump::Impl {
    std::mutex lock;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    bool woken = false;
};

CQueuePump::CQueuePump() : m_impl(std::make_shared<Impl>()) {}

void CQueuePump::Post(std::function<void()> task) {
    {
        std::lock_guard lock(m_impl->lock);
        m_impl->tasks.push_back(std::move(task));
    }
    m_impl->wake.notify_one();
}

void CQueuePump::Wake() {
    {
        std::lock_guard lock(m_impl->lock);
        m_impl->woken = true;
    }
    m_impl->wake.notify_one();
}

void CQueuePump::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds tick,
                          const std::function<void()>& onTick) {
    auto nextTick = std::chrono::steady_clock::now() + tick;
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_impl->lock);
            m_impl->wake.wait_until(lock, nextTick,
                                    [&] { return !m_impl->tasks.empty() || m_impl->woken; });
            m_impl->woken = false;
            if (!m_impl->tasks.empty()) {
                task = std::move(m_impl->tasks.front());
                m_impl->tasks.pop_front();
            }
        }
        if (task)
            task();
        if (std::chrono::steady_clock::now() >= nextTick) {
            nextTick = std::chrono::steady_clock::now() + tick;
            if (onTick)
                onTick();
        }
        if (done()) {
            std::lock_guard lock(m_impl->lock);
            if (m_impl->tasks.empty())
                return;
        }
    }
}

CWinThread::CWinThread(Proc proc, void* param)
    : m_thread([proc, param, finished = m_bFinished] {
          proc(param);
          finished->store(true);
      }) {}

CWinThread::~CWinThread() {
    if (m_thread.joinable())
        m_thread.detach();
}

void CWinThread::Join() {
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

CWinThread* AfxBeginThread(CWinThread::Proc proc, void* param) {
    return new CWinThread(proc, param);
}

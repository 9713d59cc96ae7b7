#pragma once
// Window-message path between threads. A window (`CWnd`) belongs to the thread
// that created it; `SendMessageW` runs the target's handler on that thread and
// waits for it to finish, as the repair worker expects when it reports to a page.
// A thread that owns windows and receives messages from others runs a message
// pump (`CMessagePump`), either the console loop below or the UI toolkit's.
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "platform/win_types.h"

class CWnd {
public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Handles one message on the window's own thread.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    CWnd* GetParent() const { return m_pParent; }
    void SetParent(CWnd* parent) { m_pParent = parent; }
    // The child registered under a control id, or nullptr.
    CWnd* GetDlgItem(int id) const;
    void SetDlgItem(int id, CWnd* child);

    std::thread::id OwnerThread() const { return m_ownerThread; }

private:
    CWnd* m_pParent = nullptr;
    std::map<int, CWnd*> m_children;
    std::thread::id m_ownerThread;
};

// Runs tasks on the thread that owns it.
class CMessagePump {
public:
    virtual ~CMessagePump() = default;
    // Queues `task` for the owning thread; returns at once.
    virtual void Post(std::function<void()> task) = 0;
};

// Makes `pump` the receiver of messages for windows of the calling thread
// (nullptr removes it).
void RegisterMessagePump(CMessagePump* pump);

// Delivers the message to `target` on its own thread and returns the handler's
// result once it has run. A target of the calling thread, or of a thread with no
// registered pump, is called directly. A null target gives 0.
LRESULT SendMessageW(CWnd* target, UINT message, WPARAM wParam, LPARAM lParam);

// A plain pump for threads without a UI toolkit: the owner calls `RunUntil`.
class CQueuePump : public CMessagePump {
public:
    CQueuePump();
    void Post(std::function<void()> task) override;
    // Runs queued tasks until `done()` is true and the queue is empty, waking at
    // least every `tick` so that `onTick` can run (a timer's work).
    void RunUntil(const std::function<bool()>& done, std::chrono::milliseconds tick,
                  const std::function<void()>& onTick = {});
    // Wakes a waiting `RunUntil` so it tests `done()` again.
    void Wake();

private:
    struct Impl;
    std::shared_ptr<Impl> m_impl;
};

// A worker thread started with `AfxBeginThread`. Deleting the object detaches
// the thread; `Join` waits for it.
class CWinThread {
public:
    using Proc = UINT (*)(void*);
    CWinThread(Proc proc, void* param);
    ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    bool Finished() const { return m_bFinished->load(); }
    void Join();

private:
    std::shared_ptr<std::atomic<bool>> m_bFinished = std::make_shared<std::atomic<bool>>(false);
    std::thread m_thread;
};

CWinThread* AfxBeginThread(CWinThread::Proc proc, void* param);

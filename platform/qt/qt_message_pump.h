#pragma once
// The Qt event loop as the message pump of the user-interface thread: a message
// that the repair worker sends to a window runs as a queued call in that loop,
// and the worker waits for it (SendMessageW).
#include <QObject>

#include <deque>

#include "platform/window.h"

class CQtMessagePump : public QObject, public CMessagePump {
    Q_OBJECT
public:
    // Registers itself for the calling thread, which must run the Qt event loop.
    CQtMessagePump();
    ~CQtMessagePump() override;
    void Post(std::function<void()> task) override;

    // While held, messages from other threads are kept back, in order, and
    // their senders keep waiting; a nested event loop (a modal box) then runs
    // none of them. The last release delivers them from the event loop.
    static void Hold();
    static void Release();
    static bool Held();

private:
    void Run(std::function<void()> task);
    void DeliverKeptBack();

    std::deque<std::function<void()>> m_keptBack;
};

// Holds the pump of the user-interface thread for as long as it lives.
class CMessagePumpHold {
public:
    CMessagePumpHold() { CQtMessagePump::Hold(); }
    ~CMessagePumpHold() { CQtMessagePump::Release(); }
    CMessagePumpHold(const CMessagePumpHold&) = delete;
    CMessagePumpHold& operator=(const CMessagePumpHold&) = delete;
};

// Runs `task` on the thread of the Qt application and waits for it; runs it
// directly when called there.
void RunOnUiThread(const std::function<void()>& task);

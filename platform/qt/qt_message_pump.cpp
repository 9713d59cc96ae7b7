#include "platform/qt/qt_message_pump.h"

#include <QCoreApplication>
#include <QThread>

namespace {
// The pumps and the hold live on the user-interface thread only.
int g_nHolds = 0;
std::vector<CQtMessagePump*> g_pumps;
}  // namespace

CQtMessagePump::CQtMessagePump() {
    g_pumps.push_back(this);
    RegisterMessagePump(this);
}

CQtMessagePump::~CQtMessagePump() {
    RegisterMessagePump(nullptr);
    std::erase(g_pumps, this);
    // Senders still waiting must not wait for ever.
    for (auto& task : m_keptBack)
        task();
}

void CQtMessagePump::Post(std::function<void()> task) {
    QMetaObject::invokeMethod(this, [this, task = std::move(task)]() mutable { Run(std::move(task)); },
                              Qt::QueuedConnection);
}

void CQtMessagePump::Run(std::function<void()> task) {
    if (g_nHolds > 0 || !m_keptBack.empty()) {
        m_keptBack.push_back(std::move(task));
        if (g_nHolds == 0)
            DeliverKeptBack();
        return;
    }
    task();
}

void CQtMessagePump::DeliverKeptBack() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            while (g_nHolds == 0 && !m_keptBack.empty()) {
                auto task = std::move(m_keptBack.front());
                m_keptBack.pop_front();
                task();
            }
        },
        Qt::QueuedConnection);
}

void CQtMessagePump::Hold() { ++g_nHolds; }

void CQtMessagePump::Release() {
    if (g_nHolds == 0 || --g_nHolds > 0)
        return;
    for (CQtMessagePump* pump : g_pumps)
        if (!pump->m_keptBack.empty())
            pump->DeliverKeptBack();
}

bool CQtMessagePump::Held() { return g_nHolds > 0; }

void RunOnUiThread(const std::function<void()>& task) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        task();
        return;
    }
    QMetaObject::invokeMethod(app, task, Qt::BlockingQueuedConnection);
}

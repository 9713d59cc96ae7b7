#pragma once
// A UNO connection to one private office process. UNO calls have no time
// limit of their own: every call runs under a deadline, and a watchdog kills
// the office process when it passes, which makes the blocked call return with
// DisposedException. A connection whose process died stays dead; the server
// starts a new one for the next operation.
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "automation/office_process.h"

class COfficeConnection {
public:
    // Starts an office process and connects to it; null when either does not
    // happen within `bound`.
    static std::shared_ptr<COfficeConnection> Start(std::chrono::milliseconds bound);
    ~COfficeConnection();
    COfficeConnection(const COfficeConnection&) = delete;
    COfficeConnection& operator=(const COfficeConnection&) = delete;

    bool Alive() const { return !m_dead; }
    // Ends the office process; every later call fails.
    void Terminate();
    pid_t ProcessGroup() const { return m_process->Group(); }
    // Whether the office process still runs (false once it died on its own).
    bool ProcessRunning();

    const css::uno::Reference<css::uno::XComponentContext>& Context() const { return m_context; }
    const css::uno::Reference<css::frame::XComponentLoader>& Loader() const { return m_loader; }

    // The calls made while it lives must end by `bound`, else the process is killed.
    class CDeadline {
    public:
        CDeadline(COfficeConnection& connection, std::chrono::milliseconds bound);
        ~CDeadline();
        CDeadline(const CDeadline&) = delete;
        CDeadline& operator=(const CDeadline&) = delete;
        bool Expired() const;

    private:
        COfficeConnection& m_connection;
        unsigned m_ticket;
    };

private:
    COfficeConnection() = default;
    bool Connect(std::chrono::milliseconds bound);
    void Watch();

    std::unique_ptr<COfficeProcess> m_process;
    css::uno::Reference<css::uno::XComponentContext> m_context;
    css::uno::Reference<css::frame::XComponentLoader> m_loader;
    std::atomic<bool> m_dead{false};

    std::mutex m_watchLock;
    std::condition_variable m_watchWake;
    std::chrono::steady_clock::time_point m_deadline{};
    bool m_armed = false;
    bool m_stopWatch = false;
    unsigned m_ticket = 0;
    unsigned m_expiredTicket = 0;
    std::thread m_watchdog;
};

#include "automation/office_connection.h"

#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <cppuhelper/bootstrap.hxx>

#include <cstdlib>

namespace uno = css::uno;

namespace {

constexpr const char* kFundamentalRc = "vnd.sun.star.pathname:/usr/lib/libreoffice/program/fundamentalrc";
constexpr const char* kUnoRc = "file:///usr/lib/libreoffice/program/unorc";
constexpr auto kPollInterval = std::chrono::milliseconds(100);

rtl::OUString Ascii(const std::string& text) { return rtl::OUString::createFromAscii(text.c_str()); }

// The client side of UNO, set up once per process and never torn down: at
// exit, bridges to office processes that were not quit may still run.
uno::Reference<uno::XComponentContext> LocalContext() {
    static auto* context = [] {
        ::setenv("URE_BOOTSTRAP", kFundamentalRc, 1);
        return new uno::Reference<uno::XComponentContext>(
            cppu::defaultBootstrap_InitialComponentContext(rtl::OUString::createFromAscii(kUnoRc)));
    }();
    return *context;
}

}  // namespace

std::shared_ptr<COfficeConnection> COfficeConnection::Start(std::chrono::milliseconds bound) {
    std::shared_ptr<COfficeConnection> connection(new COfficeConnection);
    connection->m_process = COfficeProcess::Start();
    if (!connection->m_process)
        return nullptr;
    connection->m_watchdog = std::thread([raw = connection.get()] { raw->Watch(); });
    try {
        if (!connection->Connect(bound))
            return nullptr;
    } catch (const uno::Exception&) {
        return nullptr;
    }
    return connection;
}

bool COfficeConnection::Connect(std::chrono::milliseconds bound) {
    auto giveUp = std::chrono::steady_clock::now() + bound;
    CDeadline deadline(*this, bound + std::chrono::seconds(5));
    auto resolver = css::bridge::UnoUrlResolver::create(LocalContext());
    rtl::OUString url = Ascii("uno:pipe,name=" + m_process->PipeName() + ";urp;StarOffice.ComponentContext");
    while (!m_context.is()) {
        try {
            m_context.set(resolver->resolve(url), uno::UNO_QUERY);
        } catch (const css::connection::NoConnectException&) {
            if (std::chrono::steady_clock::now() >= giveUp || !m_process->Running())
                return false;
            std::this_thread::sleep_for(kPollInterval);
        }
    }
    m_loader.set(css::frame::Desktop::create(m_context), uno::UNO_QUERY_THROW);
    return !deadline.Expired();
}

COfficeConnection::~COfficeConnection() {
    {
        std::lock_guard guard(m_watchLock);
        m_stopWatch = true;
    }
    m_watchWake.notify_all();
    if (m_watchdog.joinable())
        m_watchdog.join();
    Terminate();
    // The process is gone: these proxies only let go of local bridge state.
    m_loader.clear();
    m_context.clear();
    m_process.reset();
}

void COfficeConnection::Terminate() {
    m_dead = true;
    if (m_process) {
        m_process->Kill();
        m_process->Reap();
    }
}

bool COfficeConnection::ProcessRunning() { return m_process && m_process->Running(); }

void COfficeConnection::Watch() {
    std::unique_lock lock(m_watchLock);
    while (!m_stopWatch) {
        if (!m_armed) {
            m_watchWake.wait(lock);
            continue;
        }
        if (m_watchWake.wait_until(lock, m_deadline) == std::cv_status::timeout && m_armed &&
            std::chrono::steady_clock::now() >= m_deadline) {
            m_expiredTicket = m_ticket;
            m_armed = false;
            m_dead = true;
            m_process->Kill();
        }
    }
}

COfficeConnection::CDeadline::CDeadline(COfficeConnection& connection, std::chrono::milliseconds bound)
    : m_connection(connection) {
    {
        std::lock_guard guard(connection.m_watchLock);
        m_ticket = ++connection.m_ticket;
        connection.m_deadline = std::chrono::steady_clock::now() + bound;
        connection.m_armed = true;
    }
    connection.m_watchWake.notify_all();
}

COfficeConnection::CDeadline::~CDeadline() {
    std::lock_guard guard(m_connection.m_watchLock);
    if (m_connection.m_ticket == m_ticket)
        m_connection.m_armed = false;
}

bool COfficeConnection::CDeadline::Expired() const {
    std::lock_guard guard(m_connection.m_watchLock);
    return m_connection.m_expiredTicket == m_ticket;
}

#include "app/repair_ppt.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include <cstdio>
#include <exception>

#include "app/main_frame.h"
#include "ui/pages/repair_page.h"
#include "ui/pages/start_page.h"
#include "automation/powerpoint_automation.h"
#include "platform/instance_lock.h"
#include "platform/message_box.h"
#include "platform/qt/qt_message_pump.h"
#include "ui/settings/settings.h"


namespace {

constexpr int kUnsupportedVersion = 97;
constexpr HRESULT kPowerPointNotStarted = 1;

// A start-up message: two texts of the language file, one below the other.
void ShowStartupMessage(const char* first, const char* second, const char* caption, UINT icon) {
    std::string text = LoadLangString(first);
    if (second)
        text += "\n" + LoadLangString(second);
    MessageBoxW(nullptr, text, LoadLangString(caption), icon);
}

}  // namespace

CRepairPPT::CRepairPPT(std::string appFolder) : m_strAppFolder(std::move(appFolder)) {}

CRepairPPT::~CRepairPPT() { ExitInstance(); }

BOOL CRepairPPT::InitInstance() {
    if (m_strAppFolder.empty())
        InitSettings();
    else
        InitSettings(m_strAppFolder);

    if (PowerPointWindowOpen()) {
        ShowStartupMessage("IDS_WORD1", "IDS_WORD2", "IDS_INFORMATION", MB_ICONINFORMATION);
        return TRUE;  // no main window: the process ends
    }
    if (!TakeInstanceLock())
        return FALSE;
    // Messages that the repair worker sends to the pages run in the Qt event loop.
    m_pPump = std::make_unique<CQtMessagePump>();
    // Repair waits for the office check, which starts once the window is up.
    g_bOfficeReady = false;
    if (!CreateMainWindow())
        return FALSE;
    StartOfficeCheck();
    return TRUE;
}

void CRepairPPT::StartOfficeCheck() {
    m_officeCheck = OfficeCheck::Running;
    // The answer is taken on the UI thread through this object: once it is
    // gone (ExitInstance, after joining the thread) an answer still queued is dropped.
    m_pCheckReceiver = std::make_unique<QObject>();
    QObject* receiver = m_pCheckReceiver.get();
    m_officeThread = std::thread([this, receiver] {
        // Nothing may leave a thread's function: an office that fails in an
        // unforeseen way counts as an office that did not start.
        OfficeAnswer answer = OfficeAnswer::NotStarted;
        try {
            answer = CheckPowerPoint();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "deckmend: the office check failed: %s\n", error.what());
        } catch (...) {
            std::fprintf(stderr, "deckmend: the office check failed\n");
        }
        QMetaObject::invokeMethod(
            receiver, [this, answer] { OnOfficeChecked(answer); }, Qt::QueuedConnection);
    });
}

bool CRepairPPT::WaitForOfficeCheck() {
    while (m_officeCheck == OfficeCheck::Running)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    return m_officeCheck == OfficeCheck::Passed;
}

// PowerPoint is started hidden once, to learn that it works and which version it is.
CRepairPPT::OfficeAnswer CRepairPPT::CheckPowerPoint() {
    if (g_pptAutomation.NewPresentation(FALSE, 0) == kPowerPointNotStarted)
        return OfficeAnswer::NotStarted;
    g_nPowerPointVersion = g_pptAutomation.m_nVersion;
    g_pptAutomation.ClosePowerPoint(FALSE, "", 0);
    return g_nPowerPointVersion == kUnsupportedVersion ? OfficeAnswer::Unsupported : OfficeAnswer::Works;
}

void CRepairPPT::OnOfficeChecked(OfficeAnswer answer) {
    if (m_officeThread.joinable())
        m_officeThread.join();
    if (answer == OfficeAnswer::Works) {
        m_officeCheck = OfficeCheck::Passed;
        g_bOfficeReady = true;
        if (m_pMainWnd)
            m_pMainWnd->OnOfficeReady();
        return;
    }
    m_officeCheck = OfficeCheck::Failed;
    // As before the window came first: the message stands alone, then the program ends.
    if (m_pMainWnd)
        m_pMainWnd->hide();
    if (answer == OfficeAnswer::NotStarted)
        ShowStartupMessage("IDS_WORD3", "IDS_WORD10", "IDS_INFORMATION", MB_ICONINFORMATION);
    else
        ShowStartupMessage("IDS_WORD4", "IDS_WORD11", "IDS_INFORMATION", MB_ICONINFORMATION);
    m_pMainWnd.reset();
    QCoreApplication::exit(1);
}

bool CRepairPPT::TakeInstanceLock() {
    m_pInstanceLock = std::make_unique<CNamedMutex>(kInstanceLockName);
    if (m_pInstanceLock->Acquire())
        return true;
    if (m_pInstanceLock->HeldElsewhere())
        ShowStartupMessage("IDS_RUNNING1", "IDS_RUNNING2", "IDS_RUNNING3", MB_ICONERROR);
    else
        ShowStartupMessage("IDS_RUNNING4", nullptr, "IDS_RUNNING3", MB_ICONERROR);
    m_pInstanceLock.reset();
    return false;
}

bool CRepairPPT::CreateMainWindow() {
    auto frame = std::make_unique<CMainFrame>();
    if (!frame->Create())
        return false;
    frame->show();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect place = frame->frameGeometry();
        place.moveCenter(screen->availableGeometry().center());
        frame->move(place.topLeft());
    }
    if (!m_strSourceToOpen.empty())
        frame->PreselectSource(m_strSourceToOpen);
    m_pMainWnd = std::move(frame);
    return true;
}

int CRepairPPT::ExitInstance() {
    // A check still starting the office is waited for: it uses the session object.
    if (m_officeThread.joinable())
        m_officeThread.join();
    m_pCheckReceiver.reset();
    // A job that has let go of its page may still send the frame its last step.
    WaitForRepairJobs();
    m_pMainWnd.reset();
    m_pPump.reset();
    m_pInstanceLock.reset();
    return 0;
}

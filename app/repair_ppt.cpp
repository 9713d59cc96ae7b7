#include "app/repair_ppt.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/main_frame.h"
#include "ui/pages/repair_page.h"
#include "automation/powerpoint_automation.h"
#include "platform/instance_lock.h"
#include "platform/message_box.h"
#include "platform/qt/qt_message_pump.h"
#include "ui/settings/settings.h"

int g_nPowerPointVersion = 0;

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
    if (!CheckPowerPoint() || !TakeInstanceLock())
        return FALSE;
    // Messages that the repair worker sends to the pages run in the Qt event loop.
    m_pPump = std::make_unique<CQtMessagePump>();
    return CreateMainWindow() ? TRUE : FALSE;
}

// PowerPoint is started hidden once, to learn that it works and which version it is.
bool CRepairPPT::CheckPowerPoint() {
    // Starting the office server takes a few seconds, before any window is shown.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const HRESULT started = g_pptAutomation.NewPresentation(FALSE, 0);
    QGuiApplication::restoreOverrideCursor();
    if (started == kPowerPointNotStarted) {
        ShowStartupMessage("IDS_WORD3", "IDS_WORD10", "IDS_INFORMATION", MB_ICONINFORMATION);
        return false;
    }
    g_nPowerPointVersion = g_pptAutomation.m_nVersion;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    g_pptAutomation.ClosePowerPoint(FALSE, "", 0);
    QGuiApplication::restoreOverrideCursor();
    if (g_nPowerPointVersion == kUnsupportedVersion) {
        ShowStartupMessage("IDS_WORD4", "IDS_WORD11", "IDS_INFORMATION", MB_ICONINFORMATION);
        return false;
    }
    return true;
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
    // A job that has let go of its page may still send the frame its last step.
    WaitForRepairJobs();
    m_pMainWnd.reset();
    m_pPump.reset();
    m_pInstanceLock.reset();
    return 0;
}

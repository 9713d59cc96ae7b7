#include "ui/pages/repair_page.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QTimer>

#include <vector>

#include "app/main_frame.h"
#include "platform/message_box.h"
#include "platform/qt/qt_message_pump.h"
#include "repair/job/job_state.h"
#include "repair/job/messages.h"
#include "repair/job/repair_job.h"
#include "repair/pictures/picture_carver.h"
#include "ui/controls/widget_message.h"
#include "ui/controls/xcmd_btn.h"
#include "ui/pages/animate_ctrl.h"
#include "ui/pages/page_painting.h"
#include "ui/pages/repair_phase_message.h"
#include "ui/settings/settings.h"

namespace {

constexpr int kProgressTimerId = 1;
constexpr std::size_t kQuestionSize = 1000;

// Threads of repairs whose page has let go of them; joined once they finish.
std::vector<CWinThread*> g_retiredThreads;

void RetireThread(CWinThread* thread) {
    if (thread)
        g_retiredThreads.push_back(thread);
}

void JoinFinishedThreads() {
    std::erase_if(g_retiredThreads, [](CWinThread* thread) {
        if (!thread->Finished())
            return false;
        thread->Join();
        delete thread;
        return true;
    });
}

// Everything that a repair reads to tell whether something was salvaged starts at zero.
void ResetSharedRepairState() {
    ResetRepairCounts();
    g_pictureCarver.Reset();
}

}  // namespace

const char* RepairPhaseTextKey(int phase) {
    static constexpr const char* kKeys[] = {"IDS_PHASE_READING",  "IDS_PHASE_FINDING",   "IDS_PHASE_REBUILDING",
                                            "IDS_PHASE_CHECKING", "IDS_PHASE_COMPARING", "IDS_PHASE_BUILDING",
                                            "IDS_PHASE_FINISHING"};
    static_assert(std::size(kKeys) == static_cast<std::size_t>(RepairPhase::Finishing) + 1);
    if (phase < 0 || phase >= static_cast<int>(std::size(kKeys)))
        return nullptr;
    return kKeys[phase];
}

unsigned NextPercent(unsigned current, WPARAM done, LPARAM total) {
    const auto doneValue = static_cast<std::uint32_t>(done);
    const auto totalValue = static_cast<std::uint32_t>(total);
    if (totalValue == 0)
        return current;
    const std::uint64_t percent = std::uint64_t{doneValue} * 100 / totalValue;
    if (percent < current || percent > 100)
        return current;
    return static_cast<unsigned>(percent);
}

bool RepairJobsFinished() {
    JoinFinishedThreads();
    return g_retiredThreads.empty();
}

void WaitForRepairJobs() {
    while (!RepairJobsFinished()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

CRepairPage::CRepairPage(CMainFrame* frame) : CStepPage(frame, QStringLiteral("repairPage")) {
    ResetSharedRepairState();
}

CRepairPage::~CRepairPage() {
    // The page goes only after the job has told it that it is over; should it
    // go earlier, the job is cancelled and its last messages taken first.
    if (m_bJobStarted && !m_bJobOver) {
        g_bRun.store(0);
        while (!m_bJobOver) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(2);
        }
    }
}

bool CRepairPage::OnCreate() {
    m_strHeader = Text("IDS_REPAIRING");
    if (!CreateLogo() || !CreateHeaderLinks() || !CreateHome(layout::kStartHomePictures, false, true))
        return false;
    m_pBtnCancel = CreateButton(layout::kIdCancel, layout::kCancelRect, layout::kCancelPictures, "IDS_CANCEL");
    if (!m_pBtnCancel)
        return false;
    m_pBtnCancel->setObjectName(QStringLiteral("btnCancel"));

    m_pProgress = new QProgressBar(this);
    m_pProgress->setObjectName(QStringLiteral("progress"));
    SetDlgCtrlID(m_pProgress, layout::kIdProgress);
    m_pProgress->setGeometry(layout::kProgressRect.ToQRect());
    m_pProgress->setRange(0, 100);
    m_pProgress->setValue(0);
    m_pProgress->setTextVisible(false);

    m_pPhase = new QLabel(this);
    m_pPhase->setObjectName(QStringLiteral("phase"));
    SetDlgCtrlID(m_pPhase, layout::kIdPhase);
    m_pPhase->setGeometry(layout::kPhaseRect.ToQRect());
    m_pPhase->setFont(MakePageFont(this, layout::kReportPoints));
    m_pPhase->setTextFormat(Qt::PlainText);
    m_pProgress->setAccessibleName(Text("IDS_REPAIRING"));

    m_pAnimation = new CAnimateCtrl(this);
    m_pAnimation->setObjectName(QStringLiteral("animation"));
    SetDlgCtrlID(m_pAnimation, layout::kIdAnimation);
    SetDlgItem(layout::kIdAnimation, m_pAnimation);
    m_pAnimation->setGeometry(layout::kAnimationRect.ToQRect());
    m_pAnimation->lower();
    if (m_pAnimation->Open(layout::kAnimationResource))
        m_pAnimation->Play();

    if (!CreateSocial() || !CreateTips(kSettingsSection))
        return false;
    FixFrameSize();
    StartJob();
    return true;
}

void CRepairPage::StartJob() {
    g_bRun.store(1);
    m_pTimer = new QTimer(this);
    m_pTimer->setObjectName(QStringLiteral("progressTimer"));
    m_pTimer->setInterval(layout::kProgressTimerMs);
    connect(m_pTimer, &QTimer::timeout, this, &CRepairPage::OnTimer);
    m_pTimer->start();
    m_bJobStarted = true;
    // The job reports to the page through its window part.
    g_pRepairThread = AfxBeginThread(RepairThreadProc, static_cast<CWnd*>(this));
}

void CRepairPage::ApplyTexts() {
    m_strHeader = Text("IDS_REPAIRING");
    if (m_pBtnCancel)
        m_pBtnCancel->m_strText = Text("IDS_CANCEL");
    ShowPhase();
}

LRESULT CRepairPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_REPAIR_PROGRESS:
        return OnProgress(wParam, lParam);
    case WM_REPAIR_PHASE:
        return OnPhase(wParam);
    case WM_REPAIR_REPORT:
        if (const auto* report = reinterpret_cast<const RecoveryReport*>(lParam); report && Frame())
            Frame()->SetPendingReport(*report);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        return CStepPage::WindowProc(message, wParam, lParam);
    }
}

void CRepairPage::OnCommand(int id) {
    if (id == layout::kIdCancel)
        OnCancelRepair();
    else
        CStepPage::OnCommand(id);
}

LRESULT CRepairPage::OnProgress(WPARAM done, LPARAM total) {
    if (!m_pProgress || m_pProgress->minimum() == m_pProgress->maximum())
        return 0;  // a busy bar shows no percentage
    const unsigned percent = NextPercent(m_nPercent, done, total);
    m_nPercent = percent;
    if (percent != m_nShownPercent || percent == 0) {
        m_nShownPercent = percent;
        m_pProgress->setValue(static_cast<int>(percent));
    }
    return m_nPercent;
}

LRESULT CRepairPage::OnPhase(WPARAM phase) {
    // A value the page does not know leaves the line as it was.
    const int value = phase > static_cast<WPARAM>(RepairPhase::Finishing) ? -1 : static_cast<int>(phase);
    if (!RepairPhaseTextKey(value))
        return 0;
    m_nPhase = value;
    ShowPhase();
    return 1;
}

void CRepairPage::ShowPhase() {
    if (!m_pPhase)
        return;
    const char* key = RepairPhaseTextKey(m_nPhase);
    m_pPhase->setText(key ? Text(key) : QString());
    if (m_pProgress)
        m_pProgress->setAccessibleDescription(m_pPhase->text());
}

void CRepairPage::OnTimer() {
    if (m_pProgress)
        m_pProgress->setValue(static_cast<int>(m_nPercent));
}

void CRepairPage::OnCancelRepair() {
    CloseTipsDlg();
    const std::string question = LoadLangString("IDS_WORD16", kQuestionSize);
    const std::string caption = LoadLangString("IDS_CONFIRM", kQuestionSize);
    // The job stands still while the user decides: it waits at its next check
    // of the run flag, and its messages to the pages wait too.
    HoldRepair();
    CMessagePumpHold pumpHold;
    m_pAnimation->Stop();
    if (g_bRun.load() == 1) {
        if (MessageBoxW(this, question, caption, MB_YESNO | MB_ICONQUESTION) == IDYES)
            g_bRun.exchange(0);
        else
            m_pAnimation->Play();
    } else {
        m_pAnimation->Play();
    }
    ReleaseRepair();
}

void CRepairPage::DestroyWindow() {
    if (m_bJobStarted && !m_bJobOver)
        g_bRun.store(0);
}

void CRepairPage::OnDestroy() {
    if (m_bJobOver)
        return;
    m_bJobOver = true;
    CloseRunningPowerPoint();
    if (m_pTimer)
        m_pTimer->stop();
    delete m_pProgress;
    m_pProgress = nullptr;
    delete m_pPhase;
    m_pPhase = nullptr;
    delete m_pBtnCancel;
    m_pBtnCancel = nullptr;
    RetireThread(std::exchange(g_pRepairThread, nullptr));
    CMainFrame* frame = Frame();
    // The frame replaces this page by the save page; the page object stays
    // until control is back in the event loop.
    SendMessageW(frame, WM_COMMAND, kStepSavePage, 0);
    g_bRun.store(0);
}

#include "ui/pages/repair_page.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QTimer>

#include <vector>

#include "ui/pages/powerpoint_windows.h"
#include "ui/pages/wizard_frame.h"
#include "automation/powerpoint_automation.h"
#include "platform/com_runtime.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "platform/qt/qt_message_pump.h"
#include "repair/job/messages.h"
#include "repair/job/repair_job.h"
#include "ui/controls/widget_message.h"
#include "ui/controls/xcmd_btn.h"
#include "ui/pages/animate_ctrl.h"
#include "ui/pages/page_painting.h"
#include "ui/pages/repair_phase_message.h"
#include "ui/settings/settings.h"

namespace {

constexpr std::size_t kQuestionSize = 1000;

// The save page's preview: a few slides, wide enough to be shown enlarged,
// and not much longer to wait for than the office check they come with.
constexpr SlidePictureRequest kPreviewPictures{8, 512, std::chrono::seconds(4)};

// Threads of repairs whose page has let go of them; joined once they finish.
std::vector<CWinThread*> g_retiredThreads;

bool g_bHoldNextRepair = false;

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

// What the job's thread starts with: the page it reports to and the job's context.
struct RepairThreadStart {
    CWnd* page;
    std::shared_ptr<RepairContext> context;
};

// Runs the repair for the page given as `param` and shows its ending there, as
// the page's own messages: the phases and the progress while it runs, then the
// animation stops; a failure is told in a message box and the frame goes back
// to the start page; a result goes with its report to the save page.
UINT RepairThreadProc(void* param) {
    const std::unique_ptr<RepairThreadStart> start(static_cast<RepairThreadStart*>(param));
    CWnd* page = start->page;
    RepairRequest request;
    request.source = g_strSourcePath;
    request.slidePictures = kPreviewPictures;
    RepairContext& context = *start->context;
    context.tempFolder = GetTempPathW();
    context.progress = [page](std::uint64_t done, std::uint64_t total) {
        SendMessageW(page, WM_REPAIR_PROGRESS, static_cast<WPARAM>(done), static_cast<LPARAM>(total));
    };
    context.phase = [page](RepairPhase phase) {
        SendMessageW(page, WM_REPAIR_PHASE, static_cast<WPARAM>(phase), 0);
    };
    const RepairResult result = RepairPresentation(request, context);
    // Balances the office session's initialisation on this thread.
    CoUninitialize();
    g_strWorkingPath = result.resultPath;
    SendMessageW(page->GetDlgItem(kRepairAnimationId), ACM_STOP, 0, 0);
    if (result.Usable()) {
        SendMessageW(page, WM_REPAIR_REPORT, 0, reinterpret_cast<LPARAM>(&result.report));
        SendMessageW(page, WM_DESTROY, 0, 0);
        return 0;
    }
    // A cancel is no failure: it is told as information.
    const UINT icon = result.report.outcome == RepairOutcome::Cancelled ? MB_ICONINFORMATION : MB_ICONWARNING;
    MessageBoxW(page, result.report.reason, LoadLangString("IDS_INFORMATION"), icon);
    CWnd* frame = page->GetParent();
    SendMessageW(page, WM_DESTROY, 0, 0);
    SendMessageW(frame, WM_COMMAND, kStepStartPage, 0);
    return 0;
}

}  // namespace

CWinThread* g_pRepairThread = nullptr;

void HoldNextRepair(bool hold) { g_bHoldNextRepair = hold; }

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

CRepairPage::CRepairPage(CWizardFrame* frame) : CStepPage(frame, QStringLiteral("repairPage")) {}

CRepairPage::~CRepairPage() {
    // The page goes only after the job has told it that it is over; should it
    // go earlier, the job is cancelled, let go of the holds of this thread (it
    // would wait on them for ever), and its last messages taken first.
    if (m_bJobStarted && !m_bJobOver) {
        m_job->cancel.Cancel();
        while (m_job->cancel.Release()) {
        }
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
    m_job = std::make_shared<RepairContext>();
    if (std::exchange(g_bHoldNextRepair, false))
        m_job->cancel.Hold();
    m_pTimer = new QTimer(this);
    m_pTimer->setObjectName(QStringLiteral("progressTimer"));
    m_pTimer->setInterval(layout::kProgressTimerMs);
    connect(m_pTimer, &QTimer::timeout, this, &CRepairPage::OnTimer);
    m_pTimer->start();
    m_bJobStarted = true;
    // The job reports to the page through its window part.
    g_pRepairThread = AfxBeginThread(RepairThreadProc, new RepairThreadStart{this, m_job});
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
    // of its token, and its messages to the pages wait too.
    CancelToken& token = m_job->cancel;
    token.Hold();
    CMessagePumpHold pumpHold;
    m_pAnimation->Stop();
    if (!token.CancelRequested()) {
        if (MessageBoxW(this, question, caption, MB_YESNO | MB_ICONQUESTION) == IDYES)
            token.Cancel();
        else
            m_pAnimation->Play();
    } else {
        m_pAnimation->Play();
    }
    token.Release();
}

void CRepairPage::DestroyWindow() {
    if (m_bJobStarted && !m_bJobOver)
        m_job->cancel.Cancel();
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
    CWizardFrame* frame = Frame();
    // The frame replaces this page by the save page; the page object stays
    // until control is back in the event loop.
    SendMessageW(frame, WM_COMMAND, kStepSavePage, 0);
    m_job->cancel.Cancel();
}

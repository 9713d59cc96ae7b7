#include "app/main_frame.h"

#include <QCloseEvent>
#include <QPainter>

#include "platform/file_ops.h"
#include "platform/message_box.h"
#include "platform/shell_execute.h"
#include "repair/job/messages.h"
#include "repair/io/working_files.h"
#include "ui/pages/page_layout.h"
#include "ui/pages/page_painting.h"
#include "ui/pages/repair_page.h"
#include "ui/pages/save_page.h"
#include "ui/pages/start_page.h"
#include "ui/settings/settings.h"

namespace {

constexpr const char* kProductName = "Deckmend";
constexpr const char* kUpdaterFile = "dmupdate.EXE";
constexpr const char* kUpdaterStartArguments = "/SilentCheck /NoIcon /NoUpdateSelf";

template <typename Page>
CStepPage* MakePage(CMainFrame* frame) {
    return new Page(frame);
}

}  // namespace

CMainFrame::CMainFrame() {
    g_strWorkingPath.clear();
    g_strSourceExt.clear();
    g_strSourceTitle.clear();
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QString::fromUtf8(kProductName));
    // Fixed size, no maximise box: the pages are laid out in pixels.
    setFixedSize(layout::kFrameWidth, layout::kFrameHeight);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
}

CMainFrame::~CMainFrame() {
    m_bDestroying = true;
    // The page first: a repair page still running would finish its job, and
    // the job must not write working files after they were deleted.
    if (m_pCurrentPage) {
        CStepPage* page = std::exchange(m_pCurrentPage, nullptr);
        page->DestroyWindow();
        delete page;
    }
    DeleteWorkingFiles();
    CloseRunningPowerPoint();
}

bool CMainFrame::Create() {
    LaunchUpdater();
    setWindowIcon(AppIcon());
    if (!ShowStartPage(OldPage::DeleteOnly))
        return false;
    return true;
}

void CMainFrame::LaunchUpdater() {
    // The result does not matter: without the updater the wizard works all the same.
    ShellExecuteW(this, "open", g_strAppFolder + kUpdaterFile, kUpdaterStartArguments, "", SW_SHOWNORMAL);
}

LRESULT CMainFrame::WindowProc(UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND || m_bDestroying)
        return 0;
    const int step = static_cast<int>(wParam & 0xFFFF);
    const int highWord = static_cast<int>((wParam >> 16) & 0xFFFF);
    if (highWord == kStepStartPage) {
        ShowStartPage(OldPage::Destroy);
        return 0;
    }
    switch (step) {
    case kStepStartPage:
        ShowStartPage(OldPage::DeleteOnly);
        break;
    case kStepRepairPage:
        ShowRepairPage();
        break;
    case kStepSavePage:
        ShowSavePage();
        break;
    default:
        break;
    }
    return 0;
}

void CMainFrame::PreselectSource(const std::string& path) {
    if (auto* start = qobject_cast<CBaseWndStep*>(m_pCurrentPage))
        start->ChooseSource(path);
}

void CMainFrame::OnOfficeReady() {
    if (auto* start = qobject_cast<CBaseWndStep*>(m_pCurrentPage))
        start->OnOfficeReady();
}

bool CMainFrame::ShowStartPage(OldPage old) {
    return SwitchPage(old, &MakePage<CBaseWndStep>, layout::kStartPageId);
}

bool CMainFrame::ShowRepairPage() {
    m_pendingReport.reset();  // a new repair: an old report never shows
    return SwitchPage(OldPage::Destroy, &MakePage<CRepairPage>, layout::kRepairPageId);
}

// The save page is asked for from inside the repair page's own end-of-job
// handling, which must not run a second time.
bool CMainFrame::ShowSavePage() {
    const std::optional<RecoveryReport> report = std::exchange(m_pendingReport, std::nullopt);
    if (!SwitchPage(OldPage::DeleteOnly, &MakePage<CSavePage>, layout::kSavePageId))
        return false;
    if (report)
        static_cast<CSavePage*>(m_pCurrentPage)->SetRecoveryReport(*report);
    return true;
}

bool CMainFrame::SwitchPage(OldPage old, CStepPage* (*make)(CMainFrame*), int pageId) {
    ReleaseCurrentPage(old);
    CStepPage* page = make(this);
    if (!page->CreatePage(pageId)) {
        page->deleteLater();
        return false;
    }
    m_pCurrentPage = page;
    m_nCurrentPageId = pageId;
    OnSize();
    page->show();
    return true;
}

void CMainFrame::ReleaseCurrentPage(OldPage old) {
    CStepPage* page = std::exchange(m_pCurrentPage, nullptr);
    m_nCurrentPageId = 0;
    if (!page)
        return;
    if (old == OldPage::Destroy)
        page->DestroyWindow();
    // The switch may be asked for from one of the old page's own handlers,
    // which is still on the stack: the object goes when control is back in the
    // event loop. Until then it is hidden and no longer the frame's child.
    page->hide();
    page->setParent(nullptr);
    page->deleteLater();
}

void CMainFrame::OnSize() {
    if (m_pCurrentPage)
        m_pCurrentPage->setGeometry(0, 0, width(), height());
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    OnSize();
}

void CMainFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintBands(painter, rect());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (g_pRepairThread || !RepairJobsFinished()) {
        MessageBoxW(this, LoadLangString("IDS_WORD17"), LoadLangString("IDS_INFORMATION"), MB_ICONINFORMATION);
        event->ignore();
        return;
    }
    // A repaired copy that was not saved goes only when the user says so.
    if (auto* save = qobject_cast<CSavePage*>(m_pCurrentPage); save && !save->MayLeave()) {
        event->ignore();
        return;
    }
    event->accept();
}

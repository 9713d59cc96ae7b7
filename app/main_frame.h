#pragma once
// The main window: a fixed-size frame that shows exactly one wizard step page
// at a time and switches pages when it receives a step command (WM_COMMAND 120,
// 369 or 374) from a page or from the repair job.
#include <optional>
#include <string>

#include "repair/recovery_report.h"
#include "ui/pages/powerpoint_windows.h"
#include "ui/pages/wizard_frame.h"

class CStepPage;

class CMainFrame : public CWizardFrame {
    Q_OBJECT
public:
    CMainFrame();
    ~CMainFrame() override;

    // Builds the frame and its start page (OnCreate); false when the start page
    // cannot be created.
    bool Create();
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CStepPage* CurrentPage() const { return m_pCurrentPage; }
    // Makes `path` the chosen file when the start page is shown.
    void PreselectSource(const std::string& path);
    // The start-up office check passed: the start page's Repair may be used.
    void OnOfficeReady();
    // The report of the repair that runs: shown by the next save page.
    void SetPendingReport(const RecoveryReport& report) override { m_pendingReport = report; }
    int CurrentPageId() const { return m_nCurrentPageId; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class OldPage { Destroy, DeleteOnly };
    bool ShowStartPage(OldPage old);
    bool ShowRepairPage();
    bool ShowSavePage();
    // Replaces the current page by the page that `make` creates.
    bool SwitchPage(OldPage old, CStepPage* (*make)(CMainFrame*), int pageId);
    void ReleaseCurrentPage(OldPage old);
    void LaunchUpdater();
    void OnSize();

    CStepPage* m_pCurrentPage = nullptr;
    int m_nCurrentPageId = 0;
    bool m_bDestroying = false;  // no more page switches
    std::optional<RecoveryReport> m_pendingReport;
};

#pragma once
// The wizard step shown while a repair runs: it starts the repair job when it is
// created, shows an animation and a progress bar, offers Cancel, and hands over
// to the save page when the job tells it that it is over.
#include <memory>

#include "platform/window.h"
#include "repair/job/repair_job.h"
#include "ui/pages/step_page.h"

class CAnimateCtrl;
class QLabel;
class QProgressBar;
class QTimer;

class CRepairPage : public CStepPage {
    Q_OBJECT
public:
    explicit CRepairPage(CWizardFrame* frame);
    ~CRepairPage() override;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DestroyWindow() override;

    unsigned Percent() const { return m_nPercent; }
    // The phase shown under the bar; -1 before the first phase message.
    int Phase() const { return m_nPhase; }
    // The running job's cancel token: the page cancels and holds the job through it.
    CancelToken& JobToken() { return m_job->cancel; }

protected:
    bool OnCreate() override;
    void OnCommand(int id) override;
    void ApplyTexts() override;

private:
    LRESULT OnProgress(WPARAM done, LPARAM total);
    LRESULT OnPhase(WPARAM phase);
    void ShowPhase();
    void OnTimer();
    void OnCancelRepair();
    void OnDestroy();
    void StartJob();

    CXCmdBtn* m_pBtnCancel = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QLabel* m_pPhase = nullptr;
    int m_nPhase = -1;
    CAnimateCtrl* m_pAnimation = nullptr;
    QTimer* m_pTimer = nullptr;
    unsigned m_nPercent = 0;
    unsigned m_nShownPercent = 0;
    bool m_bJobStarted = false;
    bool m_bJobOver = false;
    // The job's context, shared with its thread, which may outlive the page.
    std::shared_ptr<RepairContext> m_job;
};

// The repair page's job thread; set while a repair runs.
extern CWinThread* g_pRepairThread;

// The next repair a page starts is held by the calling thread (the page's own)
// from before its thread starts, as if the user were being asked; the page's
// JobToken releases it. For the tests and the screenshot tool.
void HoldNextRepair(bool hold = true);

// The percentage that a progress message (done, total) makes of `current`: the
// bar never goes back, and a ratio above 100 % or a total of 0 changes nothing.
unsigned NextPercent(unsigned current, WPARAM done, LPARAM total);

// Repair threads whose page is gone but that may still be finishing.
bool RepairJobsFinished();
// Waits for them, still taking their last messages.
void WaitForRepairJobs();

#pragma once
// The first step of the wizard: the user picks the damaged file with Browse and
// starts the repair with Repair.
#include "ui/pages/step_page.h"

class QLineEdit;

class CBaseWndStep : public CStepPage {
    Q_OBJECT
public:
    explicit CBaseWndStep(CMainFrame* frame);

protected:
    bool OnCreate() override;
    void OnCommand(int id) override;
    void ApplyTexts() override;

private:
    void OnBrowse();
    void OnRepair();

    CXCmdBtn* m_pBtnBrowse = nullptr;
    CXCmdBtn* m_pBtnRepair = nullptr;
    QLineEdit* m_pEditPath = nullptr;
};

// Free space kept in reserve on the temporary folder's volume beyond the file's size.
inline constexpr std::int64_t kRepairSpaceReserve = 104'857'600;
// Whether a file of `size` bytes may be repaired with `freeBytes` free on the
// temporary folder's volume.
bool EnoughSpaceToRepair(std::uint64_t size, std::uint64_t freeBytes);
// The open dialog's filter for the PowerPoint version found at start-up.
std::string OpenFilterFor(int powerPointVersion);

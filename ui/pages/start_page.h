#pragma once
// The first step of the wizard: the user picks the damaged file with Browse and
// starts the repair with Repair.
#include "ui/pages/step_page.h"

#include <optional>
#include <string>

class QLineEdit;
class QMimeData;

class CBaseWndStep : public CStepPage {
    Q_OBJECT
public:
    explicit CBaseWndStep(CWizardFrame* frame);

    // Makes `path` the file to repair, as Browse does: typed, dropped or
    // named on the command line.
    void ChooseSource(const std::string& path);
    // The office check has answered: Repair may be used.
    void OnOfficeReady();

protected:
    bool OnCreate() override;
    void OnCommand(int id) override;
    void ApplyTexts() override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void OnBrowse();
    void OnRepair();

    CXCmdBtn* m_pBtnBrowse = nullptr;
    CXCmdBtn* m_pBtnRepair = nullptr;
    QLineEdit* m_pEditPath = nullptr;
};

// Whether the start-up office check has passed; until then Repair waits,
// with a busy cursor over it.
extern bool g_bOfficeReady;

// Free space kept in reserve on the temporary folder's volume beyond the file's size.
inline constexpr std::int64_t kRepairSpaceReserve = 104'857'600;
// Whether a file of `size` bytes may be repaired with `freeBytes` free on the
// temporary folder's volume.
bool EnoughSpaceToRepair(std::uint64_t size, std::uint64_t freeBytes);
// The open dialog's filter for the PowerPoint version found at start-up: the
// presentation extensions, then all files (the job tells the kind by content).
std::string OpenFilterFor(int powerPointVersion);
// The local file that a drag carries, when it carries exactly one.
std::optional<std::string> DroppedFile(const QMimeData* data);

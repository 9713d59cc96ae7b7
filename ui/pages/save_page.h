#pragma once
// The last step of the wizard: it shows what the repair gave back (the report
// and a preview of the first slides), the user picks a destination with a save-as
// dialog, and Save copies the repaired working copy there, removes the working
// copy, returns the wizard to the start page and opens the destination folder.
#include <ctime>
#include <optional>
#include <string>

#include "repair/recovery_report.h"
#include "ui/pages/step_page.h"

class CSlidePreview;
class QLabel;
class QLineEdit;

class CSavePage : public CStepPage {
    Q_OBJECT
public:
    explicit CSavePage(CWizardFrame* frame);

    // What the repair gave back, shown above the path field: the report and,
    // below it, the pictures of the first slides when it has them.
    void SetRecoveryReport(const RecoveryReport& report);
    // True when the repaired copy may be thrown away: it was saved, it is
    // gone, or the user said so when asked.
    bool MayLeave();

protected:
    bool OnCreate() override;
    void OnCommand(int id) override;
    void ApplyTexts() override;

private:
    void OnBrowse();
    void OnSave();
    void OnHome();
    void CloseInformationBoxes();
    void ClearPath();
    void ShowReport();

    CXCmdBtn* m_pBtnSave = nullptr;
    CXCmdBtn* m_pBtnBrowse = nullptr;
    QLineEdit* m_pEditPath = nullptr;
    QLabel* m_pReport = nullptr;
    CSlidePreview* m_pPreview = nullptr;
    std::optional<RecoveryReport> m_report;
    QFont m_fontSmall;
    std::string m_szDestPath;
};

// The report as the save page shows it, in the language in use: what came
// back, how, what was left out or mended; a neutral sentence without a report.
QString RecoveryReportText(const std::optional<RecoveryReport>& report);

// Folder of the destination chosen last; consumed by Save.
extern std::string g_szSaveFolder;

// The proposed name: "Repaired <title> d-m-yyyy, h-m-s" at the local time `when`.
std::string ProposedSaveName(const std::string& title, const std::tm& when);
// The save dialog's filter and default extension for a source extension.
struct SaveFilter {
    const char* filter;
    const char* extension;
};
SaveFilter SaveFilterFor(std::string sourceExt);
// The repaired presentation waiting in the temporary folder.
std::string WorkingCopyPath();
// The folder that holds `path` ("/" for a file directly in the root).
std::string FolderOf(const std::string& path);

#include "ui/pages/start_page.h"

#include <QLineEdit>

#include <filesystem>

#include "app/main_frame.h"
#include "app/repair_ppt.h"
#include "platform/file_dialog.h"
#include "platform/file_handle.h"
#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "repair/io/mapped_file.h"
#include "repair/job/messages.h"
#include "repair/io/working_files.h"
#include "ui/controls/widget_message.h"
#include "ui/controls/xcmd_btn.h"
#include "ui/settings/settings.h"

namespace {

constexpr std::size_t kMessageSize = 200;  // characters of the start page's messages
constexpr const char* kFilterWithoutPackages = "Microsoft PowerPoint Files (*.ppt, *.pps) | *.ppt; *.pps||";
constexpr const char* kFilterWithPackages =
    "Microsoft PowerPoint Files (*.ppt, *.pps, *.pptx) | *.ppt; *.pps; *.pptx||";

// Files a repair may have left in the temporary folder; a new choice starts afresh.
void DeleteLeftWorkingFiles() {
    for (const char* name : {kPackageCopyName, "rdtstf.bin", kPackageResultName, kStaleWorkingName, "__working.ppt",
                             "__working.pps"})
        DeleteFileW(TempFilePath(name));
}

void ShowInformation(CWnd* owner, const std::string& text) {
    MessageBoxW(owner, text, LoadLangString("IDS_INFORMATION", kMessageSize), MB_ICONINFORMATION);
}

}  // namespace

bool EnoughSpaceToRepair(std::uint64_t size, std::uint64_t freeBytes) {
    // Signed: with less than the reserve free, nothing fits.
    return static_cast<std::int64_t>(size) <= static_cast<std::int64_t>(freeBytes) - kRepairSpaceReserve;
}

std::string OpenFilterFor(int powerPointVersion) {
    // PowerPoint 2000 to 2003 cannot open packages.
    const bool packages = powerPointVersion < 2000 || powerPointVersion > 2003;
    return packages ? kFilterWithPackages : kFilterWithoutPackages;
}

CBaseWndStep::CBaseWndStep(CMainFrame* frame) : CStepPage(frame, QStringLiteral("startPage")) {}

bool CBaseWndStep::OnCreate() {
    m_strHeader = Text("IDS_CTEXT1");
    if (!CreateLogo() || !CreateHeaderLinks() || !CreateHome(layout::kStartHomePictures, false, false) ||
        !CreateSocial() || !CreateTips(kSettingsSection))
        return false;
    m_pBtnBrowse = CreateButton(layout::kIdBrowse, layout::kBrowseRect, layout::kStartBrowsePictures, "IDS_BROWSE");
    m_pBtnRepair = CreateButton(layout::kIdRepair, layout::kActionRect, layout::kRepairPictures, "IDS_REPAIR");
    if (!m_pBtnBrowse || !m_pBtnRepair)
        return false;
    m_pBtnBrowse->setObjectName(QStringLiteral("btnBrowse"));
    m_pBtnRepair->setObjectName(QStringLiteral("btnRepair"));

    m_pEditPath = CreatePathEdit(layout::kIdSourcePath, m_fontHeader);
    FixFrameSize();
    return true;
}

void CBaseWndStep::ApplyTexts() {
    m_pBtnBrowse->m_strText = Text("IDS_BROWSE");
    m_pBtnRepair->m_strText = Text("IDS_REPAIR");
    m_strHeader = Text("IDS_CTEXT1");
}

void CBaseWndStep::OnCommand(int id) {
    switch (id) {
    case layout::kIdBrowse:
        OnBrowse();
        return;
    case layout::kIdRepair:
        OnRepair();
        return;
    default:
        CStepPage::OnCommand(id);
        return;
    }
}

void CBaseWndStep::OnBrowse() {
    DeleteLeftWorkingFiles();
    g_strSourceTitle.clear();
    FileDialogRequest request{this, FileDialogKind::Open, OpenFilterFor(g_nPowerPointVersion), "", "", true, false};
    const std::optional<std::string> path = ShowFileDialog(request);
    if (!path)
        return;
    const std::filesystem::path chosen(*path);
    m_pEditPath->setText(QString::fromStdString(*path));
    const std::string ext = chosen.extension().string();
    g_strSourceExt = ext.empty() ? ext : ext.substr(1);
    g_mappedSource.SetPath(*path);
    g_strSourceTitle = chosen.stem().string();
}

void CBaseWndStep::OnRepair() {
    const std::string path = m_pEditPath->text().toStdString();
    if (path.empty()) {
        ShowInformation(this, LoadLangString("IDS_WORD5", kMessageSize));
        return;
    }
    std::uint64_t size = 0;
    {
        CFileHandle file;
        if (!file.Open(path, FileAccess::ReadOnly) || !file.Size(size)) {
            ShowInformation(this, LoadLangString("IDS_WORD9", kMessageSize));
            m_pEditPath->clear();
            return;
        }
    }
    std::uint64_t freeBytes = 0;
    if (!GetDiskFreeSpaceExW(GetTempPathW(), freeBytes))
        freeBytes = 0;
    if (EnoughSpaceToRepair(size, freeBytes)) {
        SendCommandToFrame(kStepRepairPage);
        return;
    }
    const std::uint64_t megabytes = size / 1024 / 1024 + 1;
    ShowInformation(this, LoadLangString("IDS_LOWDIKSPACE_TO_REPAIR", kMessageSize) + " " +
                              std::to_string(megabytes) + " MB");
    m_pEditPath->clear();
}

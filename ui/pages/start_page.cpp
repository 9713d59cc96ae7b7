#include "ui/pages/start_page.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include <filesystem>

#include "ui/pages/wizard_frame.h"
#include "platform/file_dialog.h"
#include "platform/file_handle.h"
#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "repair/job/messages.h"
#include "repair/io/working_files.h"
#include "ui/controls/widget_message.h"
#include "ui/controls/xcmd_btn.h"
#include "ui/settings/settings.h"

namespace {

constexpr std::size_t kMessageSize = 200;  // characters of the start page's messages
constexpr const char* kFilterWithoutPackages = "Microsoft PowerPoint Files (*.ppt, *.pps, *.pot) | *.ppt; *.pps; *.pot";
constexpr const char* kFilterWithPackages =
    "Microsoft PowerPoint Files (*.ppt, *.pps, *.pot, *.pptx, *.pptm, *.ppsx, *.potx) | "
    "*.ppt; *.pps; *.pot; *.pptx; *.pptm; *.ppsx; *.potx";
constexpr const char* kAllFilesPattern = "*";

// Files a repair may have left in the temporary folder; a new choice starts afresh.
void DeleteLeftWorkingFiles() {
    for (const char* name : {kPackageCopyName, "rdtstf.bin", kPackageResultName, kStaleWorkingName, "__working.ppt",
                             "__working.pps"})
        DeleteFileW(TempFilePath(name));
}

void ShowInformation(CWnd* owner, const std::string& text) {
    MessageBoxW(owner, text, LoadLangString("IDS_INFORMATION", kMessageSize), MB_ICONINFORMATION);
}

// A failure: the path stays, so that the user can put it right and try again.
void ShowWarning(CWnd* owner, const std::string& text) {
    MessageBoxW(owner, text, LoadLangString("IDS_INFORMATION", kMessageSize), MB_ICONWARNING);
}

}  // namespace

bool g_bOfficeReady = true;

bool EnoughSpaceToRepair(std::uint64_t size, std::uint64_t freeBytes) {
    // Signed: with less than the reserve free, nothing fits.
    return static_cast<std::int64_t>(size) <= static_cast<std::int64_t>(freeBytes) - kRepairSpaceReserve;
}

std::string OpenFilterFor(int powerPointVersion) {
    // PowerPoint 2000 to 2003 cannot open packages.
    const bool packages = powerPointVersion < 2000 || powerPointVersion > 2003;
    std::string allFiles = LoadLangString("IDS_ALL_FILES");
    if (allFiles.empty())
        allFiles = "All files";
    return std::string(packages ? kFilterWithPackages : kFilterWithoutPackages) + "|" + allFiles + " (" +
           kAllFilesPattern + ")|" + kAllFilesPattern + "||";
}

std::optional<std::string> DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return std::nullopt;
    const QUrl url = data->urls().front();
    if (!url.isLocalFile() || url.toLocalFile().isEmpty())
        return std::nullopt;
    return url.toLocalFile().toStdString();
}

CBaseWndStep::CBaseWndStep(CWizardFrame* frame) : CStepPage(frame, QStringLiteral("startPage")) {}

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

    if (!g_bOfficeReady) {
        m_pBtnRepair->setEnabled(false);
        m_pBtnRepair->setCursor(Qt::BusyCursor);  // after the disable, which takes the cursor away
    }

    m_pEditPath = CreatePathEdit(layout::kIdSourcePath, m_fontHeader);
    // A path may be typed or pasted; Enter repairs it.
    m_pEditPath->setReadOnly(false);
    m_pEditPath->setAcceptDrops(false);  // a dropped file is taken by the page
    connect(m_pEditPath, &QLineEdit::returnPressed, this, [this] { OnRepair(); });
    setAcceptDrops(true);
    // Back from a failed or cancelled repair, the file stays chosen for another try.
    if (!g_strSourceTitle.empty() && !g_strSourcePath.empty())
        m_pEditPath->setText(QString::fromStdString(g_strSourcePath));
    FixFrameSize();
    return true;
}

void CBaseWndStep::ChooseSource(const std::string& path) {
    DeleteLeftWorkingFiles();
    const std::filesystem::path chosen(path);
    if (m_pEditPath->text().toStdString() != path)
        m_pEditPath->setText(QString::fromStdString(path));
    const std::string ext = chosen.extension().string();
    g_strSourceExt = ext.empty() ? ext : ext.substr(1);
    g_strSourcePath = path;
    g_strSourceTitle = chosen.stem().string();
}

void CBaseWndStep::OnOfficeReady() {
    m_pBtnRepair->setEnabled(true);
}

void CBaseWndStep::dragEnterEvent(QDragEnterEvent* event) {
    if (DroppedFile(event->mimeData()))
        event->acceptProposedAction();
}

void CBaseWndStep::dropEvent(QDropEvent* event) {
    const std::optional<std::string> path = DroppedFile(event->mimeData());
    if (!path)
        return;
    event->acceptProposedAction();
    ChooseSource(*path);
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
    ChooseSource(*path);
}

void CBaseWndStep::OnRepair() {
    if (!g_bOfficeReady)
        return;  // Enter in the path field before the office check answered
    const std::string path = m_pEditPath->text().toStdString();
    if (path.empty()) {
        ShowInformation(this, LoadLangString("IDS_WORD5", kMessageSize));
        return;
    }
    // A typed or pasted path becomes the chosen file.
    if (g_strSourcePath != path || g_strSourceTitle.empty())
        ChooseSource(path);
    if (std::error_code error; std::filesystem::is_directory(path, error)) {
        ShowWarning(this, LoadLangString("IDS_IS_FOLDER", kMessageSize));
        return;
    }
    std::uint64_t size = 0;
    {
        CFileHandle file;
        if (!file.Open(path, FileAccess::ReadOnly) || !file.Size(size)) {
            ShowWarning(this, LoadLangString("IDS_WORD9", kMessageSize));
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
    ShowWarning(this, LoadLangString("IDS_LOWDIKSPACE_TO_REPAIR", kMessageSize) + " " +
                          std::to_string(megabytes) + " MB");
}

#include "ui/pages/save_page.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>

#include "app/main_frame.h"
#include "platform/file_dialog.h"
#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "repair/job/job_state.h"
#include "repair/job/messages.h"
#include "repair/io/working_files.h"
#include "ui/controls/widget_message.h"
#include "ui/controls/xcmd_btn.h"
#include "ui/pages/page_painting.h"
#include "ui/pages/shell_targets.h"
#include "ui/settings/settings.h"

std::string g_szSaveFolder;

namespace {

constexpr std::size_t kMessageSize = 200;  // characters of the empty-destination message

// The section of the save page's tip counter: the program's own name.
std::string ApplicationSection() {
    return QFileInfo(QCoreApplication::applicationFilePath()).baseName().toStdString();
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

}  // namespace

std::string ProposedSaveName(const std::string& title, const std::tm& when) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, " %d-%d-%d, %d-%d-%d", when.tm_mday, when.tm_mon + 1, when.tm_year + 1900,
                  when.tm_hour, when.tm_min, when.tm_sec);
    return "Repaired " + title + stamp;
}

SaveFilter SaveFilterFor(std::string sourceExt) {
    sourceExt = Lower(std::move(sourceExt));
    if (sourceExt == "ppt")
        return {"Microsoft PowerPoint Files (*.ppt) | *.ppt||", "ppt"};
    if (sourceExt == "pps")
        return {"Microsoft PowerPoint Files (*.pps) | *.pps||", "pps"};
    return {"Microsoft PowerPoint Files (*.pptx) | *.pptx||", "pptx"};
}

std::string WorkingCopyPath() {
    // The job's own path of a binary working copy: formed again from the
    // extension, it would miss a file whose extension was not in lower case.
    return g_strWorkingPath.empty() ? TempFilePath(kPackageResultName) : g_strWorkingPath;
}

std::string FolderOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

CSavePage::CSavePage(CMainFrame* frame) : CStepPage(frame, QStringLiteral("savePage")) {}

bool CSavePage::OnCreate() {
    m_fontSmall = MakePageFont(this, layout::kHeaderPoints);
    m_fontHeader = m_fontSmall;
    CloseInformationBoxes();
    if (!CreateHome(layout::kSaveHomePictures, true, true))
        return false;
    m_pBtnSave = CreateButton(layout::kIdSave, layout::kActionRect, layout::kSavePictures, "IDS_SAVE");
    if (!m_pBtnSave)
        return false;
    m_pBtnSave->setObjectName(QStringLiteral("btnSave"));
    m_strHeader = Text("IDS_SAVETEXT1");
    if (!CreateTips(ApplicationSection()) || !CreateLogo() || !CreateHeaderLinks() || !CreateSocial())
        return false;

    m_pEditPath = CreatePathEdit(layout::kIdDestinationPath, m_fontSmall);

    m_pBtnBrowse = CreateButton(layout::kIdBrowse, layout::kBrowseRect, layout::kSaveBrowsePictures, "IDS_BROWSE");
    if (!m_pBtnBrowse)
        return false;
    m_pBtnBrowse->setObjectName(QStringLiteral("btnBrowse"));
    FixFrameSize();
    return true;
}

// A message left open by the repair (titled like the information boxes) goes.
void CSavePage::CloseInformationBoxes() {
    const QString title = Text("IDS_INFORMATION");
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->windowTitle() == title && window != Frame())
            window->close();
}

void CSavePage::ApplyTexts() {
    m_pBtnBrowse->m_strText = Text("IDS_BROWSE");
    m_pBtnSave->m_strText = Text("IDS_SAVE");
    m_strHeader = Text("IDS_SAVETEXT1");
}

void CSavePage::OnCommand(int id) {
    switch (id) {
    case layout::kIdBrowse:
        OnBrowse();
        return;
    case layout::kIdSave:
        OnSave();
        return;
    case layout::kIdHome:
        OnHome();
        return;
    default:
        CStepPage::OnCommand(id);
        return;
    }
}

void CSavePage::OnHome() { SendCommandToFrame(kStepStartPage); }

void CSavePage::ClearPath() { m_pEditPath->clear(); }

void CSavePage::OnBrowse() {
    const SaveFilter filter = SaveFilterFor(g_strSourceExt);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    FileDialogRequest request{this,  FileDialogKind::Save, filter.filter, filter.extension,
                              ProposedSaveName(g_strSourceTitle, local), false, true};
    const std::optional<std::string> path = ShowFileDialog(request);
    if (!path) {
        ClearPath();
        return;
    }
    m_pEditPath->setText(QString::fromStdString(*path));
    m_szDestPath = *path;
    g_szSaveFolder = FolderOf(*path);
}

void CSavePage::OnSave() {
    const std::string caption = LoadLangString("IDS_INFORMATION");
    const std::string destination = m_pEditPath->text().toStdString();
    if (destination.empty()) {
        MessageBoxW(this, LoadLangString("IDS_WORD6", kMessageSize), LoadLangString("IDS_INFORMATION", kMessageSize),
                    MB_ICONINFORMATION);
        ClearPath();
        return;
    }
    std::uint64_t freeBytes = 0;
    if (!GetDiskFreeSpaceExW(destination, freeBytes))
        freeBytes = 0;
    const std::string working = WorkingCopyPath();
    std::uint64_t size = 0;
    if (!GetFileSize(working, size)) {
        ClearPath();  // nothing to save: the working copy is gone
        return;
    }
    if (size > freeBytes) {
        MessageBoxW(this, LoadLangString("IDS_LOWDIKSPACE_TO_SAVE"), caption, MB_ICONINFORMATION);
        ClearPath();
        return;
    }
    // Moved into place: the working copy is gone only once the destination is
    // complete, and a file being replaced is never left half-written.
    if (!MoveFileReplace(working, m_szDestPath)) {
        MessageBoxW(this, LoadLangString("IDS_SAVE_FAILED"), caption, MB_ICONINFORMATION);
        ClearPath();
        return;
    }
    const std::string folder = g_szSaveFolder;
    g_szSaveFolder.clear();
    if (MessageBoxW(Frame(), LoadLangString("IDS_SAVE_COMPLETED"), caption, MB_ICONINFORMATION) != IDOK)
        return;
    CMainFrame* frame = Frame();
    // From here on this page is on its way out: only the frame and the folder are used.
    SendMessageW(frame, WM_COMMAND, kStepStartPage, 0);
    OpenFolder(frame, folder);
}

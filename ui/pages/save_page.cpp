#include "ui/pages/save_page.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>

#include "ui/pages/wizard_frame.h"
#include "platform/file_dialog.h"
#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "repair/job/messages.h"
#include "repair/io/working_files.h"
#include "ui/controls/widget_message.h"
#include "ui/controls/xcmd_btn.h"
#include "ui/pages/page_painting.h"
#include "ui/pages/shell_targets.h"
#include "ui/pages/slide_preview.h"
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

QString Lang(const char* key) { return QString::fromStdString(LoadLangString(key)); }

const char* MethodKey(RepairMethod method) {
    switch (method) {
    case RepairMethod::ContainerRebuilt: return "IDS_METHOD_CONTAINER";
    case RepairMethod::StreamRelinked: return "IDS_METHOD_RELINKED";
    case RepairMethod::CutAtUserEdit: return "IDS_METHOD_CUT";
    case RepairMethod::RebuiltFromFragments: return "IDS_METHOD_FRAGMENTS";
    case RepairMethod::SourceResaved: return "IDS_METHOD_RESAVED";
    case RepairMethod::None: break;
    }
    return nullptr;
}

const char* StateKey(ItemState state) {
    switch (state) {
    case ItemState::Mended: return "IDS_STATE_MENDED";
    case ItemState::Regenerated: return "IDS_STATE_REGENERATED";
    case ItemState::LeftOut: return "IDS_STATE_LEFT_OUT";
    case ItemState::Kept: break;
    }
    return "IDS_STATE_MENDED";
}

// "name (left out: why)" for the first few items that were not kept as they were.
QString ChangedItemsText(const std::vector<ReportItem>& items) {
    QStringList named;
    int changed = 0;
    for (const ReportItem& item : items) {
        if (item.state == ItemState::Kept)
            continue;
        if (++changed > layout::kReportItemsShown)
            continue;
        QString state = Lang(StateKey(item.state));
        if (!item.how.empty())
            state += QStringLiteral(": ") + QString::fromStdString(item.how);
        named << QStringLiteral("%1 (%2)").arg(QString::fromStdString(item.name), state);
    }
    if (changed == 0)
        return {};
    QString text = Lang("IDS_REPORT_CHANGED") + QLatin1Char(' ') + named.join(QStringLiteral("; "));
    if (changed > layout::kReportItemsShown)
        text += QLatin1Char(' ') + Lang("IDS_REPORT_MORE").arg(changed - layout::kReportItemsShown);
    return text;
}

}  // namespace

QString RecoveryReportText(const std::optional<RecoveryReport>& report) {
    if (!report)
        return Lang("IDS_REPORT_NONE");
    QStringList lines;
    lines << Lang("IDS_REPORT_COUNTS")
                 .arg(report->slides)
                 // Text that no office counted (a package that came back whole) shows as a dash.
                 .arg(report->characters == kNotCounted ? QStringLiteral("\u2014") : QString::number(report->characters))
                 .arg(report->pictures)
                 .arg(report->notes);
    if (const char* method = MethodKey(report->method))
        lines << Lang("IDS_REPORT_METHOD") + QLatin1Char(' ') + Lang(method);
    if (report->outcome == RepairOutcome::KeptSource)
        lines << Lang("IDS_REPORT_KEPT_SOURCE");
    const QString changed = ChangedItemsText(report->items);
    if (!changed.isEmpty())
        lines << changed;
    return lines.join(QLatin1Char('\n'));
}

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

CSavePage::CSavePage(CWizardFrame* frame) : CStepPage(frame, QStringLiteral("savePage")) {}

bool CSavePage::OnCreate() {
    m_fontSmall = MakePageFont(this, layout::kHeaderPoints);
    m_fontHeader = m_fontSmall;
    CloseInformationBoxes();
    if (!CreateHome(layout::kSaveHomePictures, true, true))
        return false;
    m_pBtnSave = CreateButton(layout::kIdSave, layout::kSaveActionRect, layout::kSavePictures, "IDS_SAVE");
    if (!m_pBtnSave)
        return false;
    m_pBtnSave->setObjectName(QStringLiteral("btnSave"));
    m_strHeader = Text("IDS_SAVETEXT1");
    if (!CreateTips(ApplicationSection()) || !CreateLogo() || !CreateHeaderLinks() || !CreateSocial())
        return false;

    m_pEditPath = CreatePathEdit(layout::kIdDestinationPath, m_fontSmall);
    m_pEditPath->setGeometry(layout::kSavePathRect.ToQRect());

    m_pBtnBrowse = CreateButton(layout::kIdBrowse, layout::kSaveBrowseRect, layout::kSaveBrowsePictures, "IDS_BROWSE");
    if (!m_pBtnBrowse)
        return false;
    m_pBtnBrowse->setObjectName(QStringLiteral("btnBrowse"));

    m_pReport = new QLabel(this);
    m_pReport->setObjectName(QStringLiteral("report"));
    SetDlgCtrlID(m_pReport, layout::kIdReport);
    m_pReport->setGeometry(layout::kReportRect.ToQRect());
    m_pReport->setFont(MakePageFont(this, layout::kReportPoints));
    m_pReport->setWordWrap(true);
    m_pReport->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pReport->setTextFormat(Qt::PlainText);

    m_pPreview = new CSlidePreview(this, layout::kPanelField.ToQRect());
    m_pPreview->setGeometry(layout::kPreviewRect.ToQRect());
    ShowReport();
    FixFrameSize();
    return true;
}

void CSavePage::SetRecoveryReport(const RecoveryReport& report) {
    m_report = report;
    ShowReport();
    if (m_pPreview)
        m_pPreview->SetPictures(report.slidePictures);
}

void CSavePage::ShowReport() {
    if (!m_pReport)
        return;
    const QString text = RecoveryReportText(m_report);
    m_pReport->setText(text);
    m_pReport->setAccessibleName(Text("IDS_REPORT_NAME"));
    m_pReport->setAccessibleDescription(text);
}

bool CSavePage::MayLeave() {
    if (!FileExists(WorkingCopyPath()))
        return true;
    return MessageBoxW(this, LoadLangString("IDS_DISCARD_REPAIR"), LoadLangString("IDS_CONFIRM"),
                       MB_YESNO | MB_ICONWARNING) == IDYES;
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
    ShowReport();
    m_pPreview->ApplyTexts();
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

void CSavePage::OnHome() {
    if (!MayLeave())
        return;
    g_strSourceTitle.clear();  // done with this file: the start page starts empty
    SendCommandToFrame(kStepStartPage);
}

void CSavePage::ClearPath() { m_pEditPath->clear(); }

void CSavePage::OnBrowse() {
    const SaveFilter filter = SaveFilterFor(g_strSourceExt);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    FileDialogRequest request{this,  FileDialogKind::Save, filter.filter, filter.extension,
                              ProposedSaveName(g_strSourceTitle, local), false, true};
    const std::optional<std::string> path = ShowFileDialog(request);
    if (!path)
        return;  // cancelled: the destination chosen before stays
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
        MessageBoxW(this, LoadLangString("IDS_LOWDIKSPACE_TO_SAVE"), caption, MB_ICONWARNING);
        return;
    }
    // Moved into place: the working copy is gone only once the destination is
    // complete, and a file being replaced is never left half-written.
    if (!MoveFileReplace(working, m_szDestPath)) {
        MessageBoxW(this, LoadLangString("IDS_SAVE_FAILED"), caption, MB_ICONWARNING);
        return;
    }
    const std::string folder = g_szSaveFolder;
    g_szSaveFolder.clear();
    g_strSourceTitle.clear();  // done with this file: the start page starts empty
    CWizardFrame* frame = Frame();
    // The folder is shown by the desktop's file manager; without one, the
    // message says where the file is instead of promising the folder.
    const bool folderShown = OpenFolder(frame, folder);
    const std::string done = folderShown ? LoadLangString("IDS_SAVE_COMPLETED")
                                         : LoadLangString("IDS_SAVE_COMPLETED_HERE") + "\n" + m_szDestPath;
    if (MessageBoxW(frame, done, caption, MB_ICONINFORMATION) != IDOK)
        return;
    // From here on this page is on its way out.
    SendMessageW(frame, WM_COMMAND, kStepStartPage, 0);
}

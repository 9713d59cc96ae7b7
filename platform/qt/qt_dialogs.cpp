#include "platform/qt/qt_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/qt/qt_message_pump.h"
#include "platform/window.h"

namespace {

constexpr UINT kIconMask = 0xF0;
constexpr UINT kButtonMask = 0x0F;

QMessageBox::Icon IconOf(UINT type) {
    switch (type & kIconMask) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int ShowQtMessageBox(const MessageBoxRequest& request) {
    QMessageBox box(IconOf(request.type), QString::fromStdString(request.caption),
                    QString::fromStdString(request.text), QMessageBox::NoButton, WidgetOf(request.owner));
    switch (request.type & kButtonMask) {
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        return IDOK;
    }
}

QString QtFilterOfPair(const std::string& filter) {
    const FileFilterParts parts = SplitFileFilter(filter);
    QStringList patterns;
    for (const auto& pattern : parts.patterns)
        patterns << QString::fromStdString(pattern);
    QString description = QString::fromStdString(parts.description);
    // The description already names the patterns in brackets; Qt reads the
    // last bracket as the pattern list, so give it one it understands.
    const auto bracket = description.lastIndexOf('(');
    if (bracket > 0)
        description = description.left(bracket).trimmed();
    return QStringLiteral("%1 (%2)").arg(description, patterns.join(' '));
}

}  // namespace

QStringList QtFiltersOf(const std::string& filter) {
    // "description|patterns|description|patterns||": one Qt filter per pair.
    QStringList filters;
    std::size_t start = 0;
    while (start < filter.size()) {
        const std::size_t bar = filter.find('|', start);
        if (bar == std::string::npos) {
            filters << QtFilterOfPair(filter.substr(start));
            break;
        }
        const std::size_t end = filter.find('|', bar + 1);
        const std::string pair = filter.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!SplitFileFilter(pair).description.empty())
            filters << QtFilterOfPair(pair);
        if (end == std::string::npos || end + 1 >= filter.size() || filter[end + 1] == '|')
            break;
        start = end + 1;
    }
    return filters;
}

namespace {

std::optional<std::string> ShowQtFileDialog(const FileDialogRequest& request) {
    QFileDialog dialog(WidgetOf(request.owner));
    dialog.setNameFilters(QtFiltersOf(request.filter));
    if (request.kind == FileDialogKind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.selectFile(QString::fromStdString(request.fileName));
        if (!request.overwritePrompt)
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    }
    if (!request.defaultExt.empty())
        dialog.setDefaultSuffix(QString::fromStdString(request.defaultExt));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst().toStdString();
}

}  // namespace

QWidget* WidgetOf(CWnd* window) { return dynamic_cast<QWidget*>(window); }

void InstallQtDialogs() {
    SetMessageBoxHandler([](const MessageBoxRequest& request) {
        int answer = IDOK;
        RunOnUiThread([&] { answer = ShowQtMessageBox(request); });
        return answer;
    });
    SetFileDialogHandler([](const FileDialogRequest& request) {
        std::optional<std::string> path;
        RunOnUiThread([&] { path = ShowQtFileDialog(request); });
        return path;
    });
}

#include "platform/qt/desktop_shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "platform/shell_execute.h"

namespace {

constexpr const char* kFallbackBrowser = "iexplore.exe";
// Debian's choice of web browser, then the desktop's own opener.
const char* const kBrowserCommands[] = {"x-www-browser", "sensible-browser", "xdg-open"};

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool IsWebAddress(const QString& file) {
    const QUrl url(file);
    return url.isValid() && (url.scheme() == "http" || url.scheme() == "https" ||
                             url.scheme() == "mailto");
}

int OpenWithBrowser(const QString& address) {
    for (const char* command : kBrowserCommands)
        if (QProcess::startDetached(QString::fromLatin1(command), {address})) return kShellExecuteSuccess;
    return SE_ERR_FNF;
}

int OpenUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url) ? kShellExecuteSuccess : SE_ERR_NOASSOC;
}

int StartProgram(const QFileInfo& program, const QString& parameters, const QString& directory) {
    if (!program.isExecutable()) return SE_ERR_ACCESSDENIED;
    const QStringList arguments = QProcess::splitCommand(parameters);
    return QProcess::startDetached(program.absoluteFilePath(), arguments, directory)
               ? kShellExecuteSuccess
               : SE_ERR_FNF;
}

int Execute(const ShellExecuteRequest& request) {
    const QString file = FromUtf8(request.file);
    const QString parameters = FromUtf8(request.parameters);
    if (file.compare(QLatin1String(kFallbackBrowser), Qt::CaseInsensitive) == 0)
        return OpenWithBrowser(parameters);
    if (IsWebAddress(file)) return OpenUrl(QUrl(file));

    const QString directory = FromUtf8(request.directory);
    const QFileInfo target(directory.isEmpty() ? file : QDir(directory).filePath(file));
    if (!target.exists()) return target.dir().exists() ? SE_ERR_FNF : SE_ERR_PNF;
    if (target.isFile() && target.isExecutable() && !parameters.isEmpty())
        return StartProgram(target, parameters, directory);
    if (target.isFile() && target.suffix().compare("exe", Qt::CaseInsensitive) == 0)
        return StartProgram(target, parameters, directory);
    return OpenUrl(QUrl::fromLocalFile(target.absoluteFilePath()));
}

}  // namespace

void InstallDesktopShell() {
    SetShellExecuteHandler(Execute);
}

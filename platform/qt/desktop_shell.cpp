#include "platform/qt/desktop_shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
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

constexpr int kQueryTimeoutMs = 3000;

// The desktop's handler for a MIME type or URL scheme ("x-scheme-handler/https"),
// as xdg-mime knows it; empty when there is none. The query is waited for, so
// that no child process is left behind.
QString DesktopHandlerFor(const QString& type) {
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty()) return {};
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(kQueryTimeoutMs)) {
        query.kill();
        query.waitForFinished();
        return {};
    }
    return QString::fromUtf8(query.readAllStandardOutput()).trimmed();
}

QString HandlerTypeOf(const QUrl& url) {
    if (!url.isLocalFile()) return QStringLiteral("x-scheme-handler/") + url.scheme();
    if (QFileInfo(url.toLocalFile()).isDir()) return QStringLiteral("inode/directory");
    return url.toLocalFile().endsWith(QLatin1String(".html"), Qt::CaseInsensitive) ? QStringLiteral("text/html")
                                                                                      : QString();
}

// Started detached (Qt forks twice): the browser is never our child to reap.
int OpenWithBrowser(const QString& address) {
    for (const char* command : kBrowserCommands) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(command));
        // sensible-browser and xdg-open exist without any browser behind them.
        if (program.isEmpty() || (QLatin1String(command) != QLatin1String("x-www-browser") &&
                                  DesktopHandlerFor(QStringLiteral("x-scheme-handler/https")).isEmpty()))
            continue;
        if (QProcess::startDetached(program, {address})) return kShellExecuteSuccess;
    }
    return SE_ERR_NOASSOC;
}

int OpenUrl(const QUrl& url) {
    // xdg-open starts even when nothing will open the address: ask first.
    const QString type = HandlerTypeOf(url);
    if (!type.isEmpty() && DesktopHandlerFor(type).isEmpty()) return SE_ERR_NOASSOC;
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

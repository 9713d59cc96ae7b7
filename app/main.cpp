// deckmend: the repair wizard.
#include <QApplication>
#include <QFileInfo>

#include <chrono>

#include "app/main_frame.h"
#include "app/repair_ppt.h"
#include "automation/impress_server.h"
#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/qt/desktop_shell.h"
#include "platform/qt/qt_dialogs.h"
#include "ui/controls/picture_resources.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("deckmend"));
    QApplication::setApplicationDisplayName(QStringLiteral("Deckmend"));
    QApplication::setDesktopFileName(QStringLiteral("deckmend"));
    InitControlResources();
    InstallQtDialogs();
    InstallDesktopShell();

    // The wizard's working files live in a folder of its own, gone at exit:
    // never fixed names in the shared temporary folder.
    CPrivateFolder workFolder;
    if (workFolder.Create(GetTempPathW()))
        SetTempFolder(workFolder.Path() + "/");

    // The repairs of a session share the office that the start-up check
    // started, hidden; it ends at exit or after some idle minutes.
    KeepImpressServerWarm(std::chrono::minutes(5));

    CRepairPPT app;
    // `deckmend FILE` (and the desktop entry's %f) chooses the file to repair.
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i)
        if (!arguments[i].startsWith(QLatin1Char('-'))) {
            app.SetSourceToOpen(QFileInfo(arguments[i]).absoluteFilePath().toStdString());
            break;
        }
    if (!app.InitInstance())
        return 1;
    if (!app.MainWindow())
        return 0;
    const int status = QApplication::exec();
    app.ExitInstance();
    KeepImpressServerWarm(std::chrono::milliseconds(0));  // the office goes with the wizard
    return status;
}

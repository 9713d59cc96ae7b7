#include "ui/dialogs/modal_runner.h"

#include <QDialog>

namespace {
ModalRunner g_runner;
}  // namespace

ModalRunner SetModalRunner(ModalRunner runner) {
    std::swap(g_runner, runner);
    return runner;
}

int RunModal(QDialog& dialog) {
    if (!g_runner) return dialog.exec();
    dialog.setModal(true);
    dialog.show();
    const int result = g_runner(dialog);
    dialog.hide();
    return result;
}

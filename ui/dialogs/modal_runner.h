#pragma once
// Modal dialogs run through one replaceable runner: the wizard runs them for
// real, tests answer them without blocking.
#include <functional>

class QDialog;

// Gets the dialog after its set-up, shown; returns the dialog's result.
using ModalRunner = std::function<int(QDialog&)>;

// Installs `runner` and returns the one it replaces. With none installed a
// dialog runs its own modal loop.
ModalRunner SetModalRunner(ModalRunner runner);

// Runs `dialog` modally through the installed runner.
int RunModal(QDialog& dialog);

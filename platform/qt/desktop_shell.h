#pragma once
// The desktop's handler for `ShellExecuteW`: web addresses and documents open in
// the programs the desktop associates with them, folders in its file manager,
// programs start detached. "iexplore.exe", the fallback browser, stands for the
// system's web browser.

// Installs the desktop handler (see platform/shell_execute.h).
void InstallDesktopShell();

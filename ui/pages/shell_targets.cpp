#include "ui/pages/shell_targets.h"

#include "platform/message_box.h"
#include "platform/shell_execute.h"
#include "ui/settings/settings.h"

namespace {

constexpr const char* kFallbackBrowser = "iexplore.exe";

bool Succeeded(int result) { return result > 32; }

void ShowShellError(CWnd* owner, int result) {
    if (const char* text = ShellErrorText(result))
        MessageBoxW(owner, text, LoadLangString("IDS_RUNNING3"), MB_ICONERROR);
}

}  // namespace

void OpenWebPage(CWnd* owner, const std::string& address) {
    const int result = ShellExecuteW(owner, "Open", address, "", "", SW_SHOW);
    if (Succeeded(result))
        return;
    if (result == SE_ERR_NOASSOC) {
        ShellExecuteW(owner, "Open", kFallbackBrowser, address, "", SW_SHOW);
        return;
    }
    ShowShellError(owner, result);
}

void OpenProgramFile(CWnd* owner, const std::string& file, const std::string& parameters) {
    const int result = ShellExecuteW(owner, "Open", file, parameters, g_strAppFolder, SW_SHOWNORMAL);
    if (!Succeeded(result))
        ShowShellError(owner, result);
}

void OpenFolder(CWnd* owner, const std::string& folder) {
    ShellExecuteW(owner, "explore", folder, "", "", SW_RESTORE);
}

#include "ui/pages/shell_targets.h"

#include "platform/message_box.h"
#include "platform/shell_execute.h"
#include "ui/pages/web_addresses.h"
#include "ui/settings/settings.h"

namespace {

constexpr const char* kFallbackBrowser = "iexplore.exe";

bool Succeeded(int result) { return result > 32; }

void ShowAddress(CWnd* owner, const std::string& address) {
    MessageBoxW(owner, LoadLangString("IDS_CANNOT_OPEN") + "\n" + address, LoadLangString("IDS_RUNNING3"),
                MB_ICONWARNING);
}

}  // namespace

void OpenWebPage(CWnd* owner, const std::string& address) {
    int result = ShellExecuteW(owner, "Open", address, "", "", SW_SHOW);
    if (result == SE_ERR_NOASSOC)
        result = ShellExecuteW(owner, "Open", kFallbackBrowser, address, "", SW_SHOW);
    if (!Succeeded(result))
        ShowAddress(owner, address);
}

std::string HelpPagePath() {
    return g_strAppFolder + kHelpFolder + kLanguageNames[ReadLanguageIndex()] + ".html";
}

void OpenHelp(CWnd* owner) { OpenWebPage(owner, HelpPagePath()); }

bool OpenFolder(CWnd* owner, const std::string& folder) {
    return Succeeded(ShellExecuteW(owner, "explore", folder, "", "", SW_RESTORE));
}

#pragma once
// The header's shell targets: the project's web pages and the help pages in
// the program folder, opened by the desktop's handler. When nothing can open
// them, a message shows the address so that the user can open it elsewhere.
#include <string>

class CWnd;

// Opens a web page; when no program is associated, the fallback browser.
void OpenWebPage(CWnd* owner, const std::string& address);
// The help page in the language in use.
std::string HelpPagePath();
// Opens the help page.
void OpenHelp(CWnd* owner);
// Shows `folder` in the desktop's file manager; false when there is none.
bool OpenFolder(CWnd* owner, const std::string& folder);

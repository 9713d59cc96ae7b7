#pragma once
// The header's shell targets: the project's web pages, and the help file and
// updater next to the program. A failure shows the system's text for it.
#include <string>

class CWnd;

// Opens a web page; when no program is associated, the fallback browser.
void OpenWebPage(CWnd* owner, const std::string& address);
// Opens `file` from the program folder with `parameters`.
void OpenProgramFile(CWnd* owner, const std::string& file, const std::string& parameters);
// Shows `folder` in the desktop's file manager; a failure goes unreported.
void OpenFolder(CWnd* owner, const std::string& folder);

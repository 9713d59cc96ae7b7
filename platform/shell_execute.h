#pragma once
// Opening web pages, files, folders and programs goes through one replaceable
// handler, like message boxes: the wizard installs the desktop's handler, tests
// record the requests and answer them.
#include <functional>
#include <string>

#include "platform/win_types.h"

class CWnd;

#include "platform/com_windows.h"  // SW_SHOW, shared with the automation layer

constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_RESTORE = 9;

// Results of a failed request; anything above 32 is success.
constexpr int SE_ERR_OOM = 0;
constexpr int SE_ERR_FNF = 2;
constexpr int SE_ERR_PNF = 3;
constexpr int SE_ERR_ACCESSDENIED = 5;
constexpr int SE_ERR_NOASSOC = 31;
constexpr int kShellExecuteSuccess = 42;

struct ShellExecuteRequest {
    CWnd* owner;             // nullptr for none
    std::string verb;        // "Open", "explore"
    std::string file;        // address, document, folder or program
    std::string parameters;  // program arguments; empty for none
    std::string directory;   // working folder; empty for none
    int show;                // SW_ value
};

using ShellExecuteHandler = std::function<int(const ShellExecuteRequest&)>;

// Installs `handler` and returns the one it replaces. With no handler installed
// every request fails with SE_ERR_NOASSOC.
ShellExecuteHandler SetShellExecuteHandler(ShellExecuteHandler handler);

// Runs the request through the installed handler; a result above 32 is success.
int ShellExecuteW(CWnd* owner, const std::string& verb, const std::string& file,
                  const std::string& parameters, const std::string& directory, int show);

// The system's text for a failed request's result, or nullptr when the result
// has none. SE_ERR_NOASSOC's text is the one for documents and programs; web
// pages fall back to the browser instead.
const char* ShellErrorText(int code);

#include "platform/shell_execute.h"

#include <mutex>

namespace {

std::mutex g_handlerLock;
ShellExecuteHandler g_handler;

struct ShellError {
    int code;
    const char* text;
};

const ShellError kShellErrors[] = {
    {0, "The operating system is out of memory or resources."},
    {2, "The specified file was not found."},
    {3, "The specified path was not found."},
    {5, "The operating system denied access to the specified file."},
    {8, "There was not enough memory to complete the operation."},
    {11, "The file is invalid (it's a non-Win32 file)."},
    {26, "A sharing violation occurred."},
    {27, "The file name association is incomplete or invalid."},
    {28, "The DDE transaction could not be completed because the request timed out."},
    {29, "The DDE transaction failed."},
    {30, "The DDE transaction could not be completed because other DDE transactions were being "
         "processed."},
    {31, "There is no application associated with the given file name extension. This error will "
         "also be returned if you attempt to print a file that is not printable."},
    {32, "The specified DLL was not found."},
};

}  // namespace

ShellExecuteHandler SetShellExecuteHandler(ShellExecuteHandler handler) {
    std::lock_guard lock(g_handlerLock);
    std::swap(g_handler, handler);
    return handler;
}

int ShellExecuteW(CWnd* owner, const std::string& verb, const std::string& file,
                  const std::string& parameters, const std::string& directory, int show) {
    ShellExecuteHandler handler;
    {
        std::lock_guard lock(g_handlerLock);
        handler = g_handler;
    }
    if (!handler) return SE_ERR_NOASSOC;
    return handler({owner, verb, file, parameters, directory, show});
}

const char* ShellErrorText(int code) {
    for (const ShellError& error : kShellErrors)
        if (error.code == code) return error.text;
    return nullptr;
}

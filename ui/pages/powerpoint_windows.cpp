// PowerPoint's frame windows and the working files, as the main frame and the
// repair page clean up after a repair.
#include <string>

#include "ui/pages/powerpoint_windows.h"
#include "automation/powerpoint_automation.h"
#include "platform/com_windows.h"
#include "platform/file_ops.h"
#include "repair/io/working_files.h"
#include "ui/settings/settings.h"

namespace {

HWND FindPowerPointWindow() {
    for (const auto& frame : kPowerPointFrameClasses)
        if (HWND window = FindWindowW(frame.className, nullptr))
            return window;
    return nullptr;
}

}  // namespace

bool PowerPointWindowOpen() { return FindPowerPointWindow() != nullptr; }

bool CloseRunningPowerPoint() {
    HWND window = FindPowerPointWindow();
    if (!window)
        return false;
    PostMessageW(window, WM_CLOSE, 0, 0);
    return true;
}

void DeleteWorkingFiles() {
    DeleteFileW(TempFilePath(kPackageResultName));
    for (const char* ext : {"ppt", "pps"})
        DeleteFileW(TempFilePath(std::string(kWorkingPrefix) + ext));
    // A binary repair of a file with another extension (a compound .pptx, or
    // capitals) has a working copy of another name.
    if (!g_strWorkingPath.empty())
        DeleteFileW(g_strWorkingPath);
}

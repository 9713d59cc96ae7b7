#include "platform/com_windows.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>

namespace {

struct FrameWindow {
    std::string className;
    bool visible = true;
    FrameMessageHandler onPosted;
};

struct WindowTable {
    std::mutex lock;
    std::map<std::uintptr_t, FrameWindow> windows;  // by handle, in creation order
    std::uintptr_t nextHandle = 0x10;
};

WindowTable& TheTable() {
    static WindowTable table;
    return table;
}

std::uintptr_t KeyOf(HWND window) { return reinterpret_cast<std::uintptr_t>(window); }

}  // namespace

HWND CreateFrameWindow(const std::string& className, FrameMessageHandler onPosted) {
    WindowTable& table = TheTable();
    std::lock_guard guard(table.lock);
    std::uintptr_t handle = table.nextHandle;
    table.nextHandle += 0x10;
    table.windows[handle] = {className, true, std::move(onPosted)};
    return reinterpret_cast<HWND>(handle);
}

void DestroyFrameWindow(HWND window) {
    FrameMessageHandler handler;  // destroyed outside the lock
    WindowTable& table = TheTable();
    std::lock_guard guard(table.lock);
    auto it = table.windows.find(KeyOf(window));
    if (it == table.windows.end())
        return;
    handler = std::move(it->second.onPosted);
    table.windows.erase(it);
}

HWND FindWindowW(const char* className, const char*) {
    if (!className)
        return nullptr;
    WindowTable& table = TheTable();
    std::lock_guard guard(table.lock);
    for (auto it = table.windows.rbegin(); it != table.windows.rend(); ++it)
        if (it->second.className == className)
            return reinterpret_cast<HWND>(it->first);
    return nullptr;
}

BOOL ShowWindow(HWND window, int command) {
    WindowTable& table = TheTable();
    std::lock_guard guard(table.lock);
    auto it = table.windows.find(KeyOf(window));
    if (it == table.windows.end())
        return FALSE;
    BOOL wasVisible = it->second.visible ? TRUE : FALSE;
    it->second.visible = command != SW_HIDE;
    return wasVisible;
}

BOOL IsWindowVisible(HWND window) {
    WindowTable& table = TheTable();
    std::lock_guard guard(table.lock);
    auto it = table.windows.find(KeyOf(window));
    return it != table.windows.end() && it->second.visible ? TRUE : FALSE;
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    FrameMessageHandler handler;
    {
        WindowTable& table = TheTable();
        std::lock_guard guard(table.lock);
        auto it = table.windows.find(KeyOf(window));
        if (it == table.windows.end())
            return FALSE;
        handler = it->second.onPosted;
    }
    // Run without the lock: the handler may destroy its own window.
    if (handler)
        handler(message, wParam, lParam);
    return TRUE;
}

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

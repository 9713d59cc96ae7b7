#pragma once
// Top-level frame windows of automation servers, found by their window class
// as a client finds an application's main window. A server creates its frame
// window while it runs and destroys it when it ends; a client may hide it or
// post it WM_CLOSE. Also the thread pause that the automation clients use.
#include <functional>
#include <string>

#include "platform/win_types.h"

struct HWND__;
using HWND = HWND__*;

constexpr UINT WM_CLOSE = 0x0010;
constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;

// Receives the messages posted to a frame window.
using FrameMessageHandler = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;

// A new visible top-level window of `className`; `onPosted` runs for each
// message posted to it.
HWND CreateFrameWindow(const std::string& className, FrameMessageHandler onPosted = {});
// Removes the window; its handle is invalid afterwards.
void DestroyFrameWindow(HWND window);

// The most recently created window of `className` (any window name), or null.
HWND FindWindowW(const char* className, const char* windowName);
// Shows or hides the window; returns whether it was visible before.
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
// Delivers the message to the window's handler; FALSE for an invalid handle.
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void Sleep(DWORD milliseconds);

#pragma once
// Message boxes go through one replaceable handler: the wizard shows a real box,
// the command line prints the text, and tests answer it.
#include <functional>
#include <string>

#include "platform/win_types.h"

class CWnd;

struct MessageBoxRequest {
    CWnd* owner;          // nullptr for a box without owner
    std::string text;
    std::string caption;
    UINT type;            // MB_ flags
};

using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;

// Installs `handler` and returns the one it replaces. With no handler installed
// the text goes to standard error and the box answers IDOK.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// Shows a box through the installed handler, on the calling thread; returns the answer.
int MessageBoxW(CWnd* owner, const std::string& text, const std::string& caption, UINT type);

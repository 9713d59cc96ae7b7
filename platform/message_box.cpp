#include "platform/message_box.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex g_handlerLock;
MessageBoxHandler g_handler;
}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard lock(g_handlerLock);
    std::swap(g_handler, handler);
    return handler;
}

int MessageBoxW(CWnd* owner, const std::string& text, const std::string& caption, UINT type) {
    MessageBoxHandler handler;
    {
        std::lock_guard lock(g_handlerLock);
        handler = g_handler;
    }
    if (handler)
        return handler({owner, text, caption, type});
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return IDOK;
}

#include "platform/file_dialog.h"

#include <mutex>

namespace {
std::mutex g_handlerLock;
FileDialogHandler g_handler;

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}
}  // namespace

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler) {
    std::lock_guard lock(g_handlerLock);
    std::swap(g_handler, handler);
    return handler;
}

std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) {
    FileDialogHandler handler;
    {
        std::lock_guard lock(g_handlerLock);
        handler = g_handler;
    }
    if (!handler)
        return std::nullopt;
    return handler(request);
}

FileFilterParts SplitFileFilter(const std::string& filter) {
    FileFilterParts parts;
    const auto bar = filter.find('|');
    parts.description = Trimmed(filter.substr(0, bar));
    if (bar == std::string::npos)
        return parts;
    std::string patterns = filter.substr(bar + 1);
    patterns = patterns.substr(0, patterns.find('|'));
    std::size_t start = 0;
    while (start <= patterns.size()) {
        const auto end = patterns.find(';', start);
        std::string pattern = Trimmed(patterns.substr(start, end == std::string::npos ? end : end - start));
        if (!pattern.empty())
            parts.patterns.push_back(pattern);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return parts;
}

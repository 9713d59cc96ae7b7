#include "platform/folders.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <sys/statvfs.h>
#include <utility>

namespace {

std::mutex g_tempLock;
std::string g_tempOverride;

std::string WithTrailingSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

}  // namespace

std::string GetTempPathW() {
    {
        std::lock_guard lock(g_tempLock);
        if (!g_tempOverride.empty())
            return g_tempOverride;
    }
    const char* env = std::getenv("TMPDIR");
    return WithTrailingSlash(env && *env ? env : "/tmp");
}

std::string SetTempFolder(const std::string& folder) {
    std::lock_guard lock(g_tempLock);
    return std::exchange(g_tempOverride, folder.empty() ? std::string() : WithTrailingSlash(folder));
}

bool GetDiskFreeSpaceExW(const std::string& path, std::uint64_t& freeBytes) {
    std::filesystem::path probe = path.empty() ? std::filesystem::path(".") : std::filesystem::path(path);
    for (;;) {
        struct statvfs st {};
        if (::statvfs(probe.c_str(), &st) == 0) {
            freeBytes = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
            return true;
        }
        // Walk up to the nearest folder that exists.
        std::filesystem::path parent = probe.parent_path();
        if (parent.empty())
            parent = ".";
        if (parent == probe)
            return false;
        probe = parent;
    }
}

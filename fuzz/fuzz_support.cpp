#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <unistd.h>

#include "platform/folders.h"

namespace {

std::map<std::string, std::string>& ScratchPaths() {
    static std::map<std::string, std::string> paths;
    return paths;
}

void RemoveScratchFiles() {
    for (const auto& [suffix, path] : ScratchPaths())
        std::remove(path.c_str());
}

}  // namespace

const std::string& ScratchPath(const char* suffix) {
    std::string& path = ScratchPaths()[suffix];
    if (path.empty()) {
        path = GetTempPathW() + "deckmend-fuzz-" + std::to_string(::getpid()) + suffix;
        static const bool removedAtExit = std::atexit(RemoveScratchFiles) == 0;
        (void)removedAtExit;
    }
    return path;
}

bool WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

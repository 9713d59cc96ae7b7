#include "repair/pptx/package_probe.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "repair/pptx/local_header.h"

namespace {

constexpr std::uint64_t kProbeWindow = 1u << 20;
// The name of a compound file's root directory entry, as UTF-16LE.
constexpr char kRootEntryName[] = "R\0o\0o\0t\0 \0E\0n\0t\0r\0y\0";
constexpr std::size_t kRootEntryLength = sizeof kRootEntryName - 1;

bool HoldsCompoundDirectory(const std::string& path) {
    CFileHandle file;
    if (!file.Open(path, FileAccess::ReadOnly))
        return false;
    // Blocks overlap by the name's length so that no occurrence is cut in two.
    std::vector<char> block(CPackageSource::kBlockSize + kRootEntryLength);
    std::size_t carried = 0;
    for (std::uint64_t at = 0;;) {
        std::int64_t n = file.ReadAt(block.data() + carried, CPackageSource::kBlockSize, at);
        if (n <= 0)
            return false;
        std::size_t filled = carried + static_cast<std::size_t>(n);
        if (std::search(block.data(), block.data() + filled, kRootEntryName, kRootEntryName + kRootEntryLength) !=
            block.data() + filled)
            return true;
        at += static_cast<std::uint64_t>(n);
        carried = std::min(filled, kRootEntryLength - 1);
        std::memmove(block.data(), block.data() + filled - carried, carried);
    }
}

}  // namespace

bool IsShiftedPackage(const std::string& path) {
    CPackageSource source;
    if (!source.Open(path))
        return false;
    std::uint64_t end = std::min(source.Size(), kProbeWindow);
    for (std::uint64_t at = source.NextCandidate(0); at < end; at = source.NextCandidate(at + 1)) {
        if (AcceptableHeaderAt(source, at))
            return !HoldsCompoundDirectory(path);
    }
    return false;
}


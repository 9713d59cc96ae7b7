#pragma once
// The damaged package's own central directory, where one survives: it names the
// entry behind a local header whose name length is damaged. Its records are
// taken only where the bytes at their offset confirm them.
#include <cstdint>
#include <string>
#include <unordered_map>

#include "repair/pptx/package_source.h"

struct DirectoryRecord {
    std::string name;
    std::uint64_t compressedSize = 0;
};

// The largest directory read: beyond it the local headers alone are used.
inline constexpr std::uint64_t kMaxSurvivingDirectory = 8u << 20;

// Records by the file offset of their local header (a junk prefix accounted
// for); empty when no end record and directory are found.
std::unordered_map<std::uint64_t, DirectoryRecord> ReadSurvivingDirectory(CPackageSource& source);

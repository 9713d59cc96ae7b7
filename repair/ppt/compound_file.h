#pragma once
// Reads one stream of a compound file ([MS-CFB]) by name, checking every
// sector number and chain against the file, so that a damaged file gives no
// stream rather than a wrong one.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The stream `name` (compared without case) directly below the root storage;
// nothing when the file is not a readable compound file or has no such stream.
std::optional<std::vector<std::uint8_t>> ReadCompoundStream(const std::string& path, const std::string& name);

#pragma once
// The directory entries of a compound file in the order they are stored, with
// where each stream starts: what a reader by name does not show. Every read is
// bounded by the file; a file that does not parse gives no entries.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "repair/io/read_value.h"

struct DirectoryEntry {
    std::string name;          // ASCII names only, as the tests write them
    std::uint8_t type = 0;     // 1 storage, 2 stream, 5 root
    std::uint32_t start = 0;   // first sector (or mini sector for a small stream)
    std::uint32_t size = 0;
};

inline std::vector<DirectoryEntry> ReadDirectory(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const CByteView file(bytes.data(), bytes.size());
    const auto shift = file.Le16(30);
    const auto fatCount = file.Le32(44);
    const auto firstDirectory = file.Le32(48);
    if (!shift || (*shift != 9 && *shift != 12) || !fatCount || *fatCount > 109 || !firstDirectory)
        return {};
    const std::size_t sectorSize = std::size_t{1} << *shift;
    auto sector = [&](std::uint32_t k) { return file.Sub((std::size_t{k} + 1) * sectorSize, sectorSize); };

    std::vector<std::uint32_t> fat;
    for (std::uint32_t i = 0; i < *fatCount; ++i) {
        const auto where = file.Le32(76 + 4 * i);
        const auto fatSector = where ? sector(*where) : std::nullopt;
        if (!fatSector)
            return {};
        for (std::size_t at = 0; at < sectorSize; at += 4)
            fat.push_back(*fatSector->Le32(at));
    }
    std::vector<DirectoryEntry> entries;
    for (std::uint32_t k = *firstDirectory, steps = 0; k < 0xFFFFFFFA; k = fat[k]) {
        const auto directory = sector(k);
        if (!directory || k >= fat.size() || ++steps > fat.size())
            return {};
        for (std::size_t at = 0; at + 128 <= sectorSize; at += 128) {
            DirectoryEntry entry;
            entry.type = directory->data()[at + 66];
            const std::uint16_t nameBytes = *directory->Le16(at + 64);
            for (std::size_t c = 0; c + 2 < nameBytes && c < 64; c += 2)
                entry.name += static_cast<char>(directory->data()[at + c]);
            entry.start = *directory->Le32(at + 116);
            entry.size = *directory->Le32(at + 120);
            entries.push_back(entry);
        }
    }
    return entries;
}

#pragma once
// The records that end a written package: the ZIP64 end record and its locator
// where the entry count, the directory's size or its offset needs them, then
// the end record.
#include <cstdint>
#include <vector>

// Appends the end records of a directory of `count` records, `length` bytes long
// at `offset`; `version` is the highest version needed by its entries.
void AppendEndRecords(std::vector<std::uint8_t>& out, std::uint64_t count, std::uint64_t offset,
                      std::uint64_t length, std::uint16_t version);

// True when those records include the ZIP64 ones.
bool EndNeedsZip64(std::uint64_t count, std::uint64_t offset, std::uint64_t length);

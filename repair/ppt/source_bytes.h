#pragma once
// Reads of the file under repair at byte positions, through its block reads.
#include <cstdint>

#include "repair/io/raw_file.h"

// Reads `count` bytes from byte `position` of `file` into `dest`. Bytes past the
// end of the file read as zero. FALSE when a block read fails.
BOOL ReadSourceBytes(CRawFile& file, std::uint8_t* dest, std::uint64_t position, std::uint32_t count);

#pragma once
// The "PowerPoint Document" stream of a compound file whose FAT is lost (zeroed,
// overwritten, cut off), put back together from its directory entry and the
// record structure of its own bytes. A stream saved more than once is stored
// in several runs of sectors; without the FAT the whole-file scan cuts every
// record that crosses from one run to the next, and the newest save is the one
// that crosses. Here each sector of the stream is chosen so that the record
// headers that fall in it read as records of the stream.
#include <cstdint>
#include <optional>
#include <vector>

#include "repair/io/job_control.h"
#include "repair/io/read_value.h"

// `file` is the whole compound file. Nothing when no directory entry of the
// stream is found or its records cannot be followed to the stream's end.
std::optional<std::vector<std::uint8_t>> ReassembleDocumentStream(const CByteView& file, const CancelToken& cancel);

#pragma once
// The image of the "PowerPoint Document" stream that the document scans run over:
// the sector runs the locator finds, or the whole file when they yield nothing or
// more than the file holds.
#include <cstdint>
#include <vector>

#include "repair/io/raw_file.h"
#include "repair/ppt/stream_locator.h"

struct CDocumentImage {
    std::vector<std::uint8_t> bytes;  // the image and one sector of zeros
    std::uint64_t length = 0;         // bytes of the image
    std::uint32_t scanUnit = 0;       // the sector size, or the file's block size for the whole file
    bool wholeFile = false;
};

// Builds the image of `file` with `locator` (which keeps its lists). false when
// the whole file had to be taken and cannot be read.
bool BuildDocumentImage(CRawFile& file, std::uint32_t sectorSize, CStreamLocator& locator, CDocumentImage& image,
                        const CancelToken& cancel);

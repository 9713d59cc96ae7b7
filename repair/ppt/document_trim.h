#pragma once
// Cuts the new "PowerPoint Document" stream out of the document image: from the
// chosen DocumentContainer to just past its user edit.
#include <cstdint>
#include <vector>

struct CDocumentCut {
    std::vector<std::uint8_t> stream;  // the cut, in a buffer of whole sectors
    std::uint64_t length = 0;          // bytes of the cut
};

// Offset of the DocumentContainer the last trim cut from.
extern std::uint64_t g_posChosenDocument;

// Run after the first document scan over `image` of `imageLength` bytes, whose
// scan unit was `sectorSize`. The image is released.
CDocumentCut TrimDocumentStream(std::vector<std::uint8_t>&& image, std::uint64_t imageLength,
                                std::uint32_t sectorSize);

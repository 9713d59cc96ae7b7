#pragma once
// Cuts the new "PowerPoint Document" stream out of the document image: from the
// chosen DocumentContainer to just past its user edit.
#include <cstdint>
#include <vector>

struct CDocumentCut {
    std::vector<std::uint8_t> stream;  // the cut, in a buffer of whole sectors
    std::uint64_t length = 0;          // bytes of the cut
};

struct DocumentScanState;

// Run after the first document scan over `image` of `imageLength` bytes, whose
// scan unit was `sectorSize`; cuts from the container that scan chose and
// notes it in `scan.posChosenDocument`. The image is released.
CDocumentCut TrimDocumentStream(DocumentScanState& scan, std::vector<std::uint8_t>&& image, std::uint64_t imageLength,
                                std::uint32_t sectorSize);

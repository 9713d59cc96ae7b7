#include "repair/ppt/document_trim.h"

#include <algorithm>
#include <cstring>

#include "repair/ppt/document_edit_table.h"
#include "repair/ppt/record_scanner.h"

std::uint64_t g_posChosenDocument = 0;

namespace {

struct CutBounds {
    std::uint64_t start = 0;
    std::uint64_t base = 0;  // length from start to the end of the user edit
};

CutBounds ChooseBounds(std::uint64_t imageLength, std::uint64_t sectorSize) {
    CutBounds bounds;
    if (g_posDocument == kNoDocument) {
        bounds.base = imageLength;
        return bounds;
    }
    bounds.start = ChooseDocument();
    // A key beyond the image cannot start a cut: take the image whole.
    if (bounds.start >= imageLength) {
        bounds.start = 0;
        bounds.base = imageLength;
        return bounds;
    }
    g_posChosenDocument = bounds.start;
    const std::uint64_t edit = GetEditLength(bounds.start);
    if (edit == 0 || edit >= imageLength)
        bounds.base = (imageLength / sectorSize + 1) * sectorSize;
    else
        bounds.base = edit;
    return bounds;
}

}  // namespace

CDocumentCut TrimDocumentStream(std::vector<std::uint8_t>&& image, std::uint64_t imageLength,
                                std::uint32_t sectorSize) {
    std::vector<std::uint8_t> released = std::move(image);
    imageLength = std::min<std::uint64_t>(imageLength, released.size());
    const CutBounds bounds = ChooseBounds(imageLength, sectorSize);

    CDocumentCut cut;
    // One sector past the user edit, but never past the image.
    cut.length = std::min(bounds.base + sectorSize, imageLength - bounds.start);
    cut.stream.assign(static_cast<std::size_t>((cut.length / sectorSize + 1) * sectorSize), 0);
    if (cut.length)
        std::memcpy(cut.stream.data(), released.data() + bounds.start, static_cast<std::size_t>(cut.length));
    return cut;
}

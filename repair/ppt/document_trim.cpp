#include "repair/ppt/document_trim.h"

#include <algorithm>
#include <cstring>

#include "repair/ppt/record_scanner.h"
#include "repair/ppt/record_signatures.h"

namespace {

struct CutBounds {
    std::uint64_t start = 0;
    std::uint64_t base = 0;  // length from start to the end of the user edit's body
    bool editFound = false;
};

CutBounds ChooseBounds(DocumentScanState& scan, std::uint64_t imageLength, std::uint64_t sectorSize) {
    CutBounds bounds;
    if (scan.posDocument == kNoDocument) {
        bounds.base = imageLength;
        return bounds;
    }
    bounds.start = scan.docEditTable.ChooseDocument();
    // A key beyond the image cannot start a cut: take the image whole.
    if (bounds.start >= imageLength) {
        bounds.start = 0;
        bounds.base = imageLength;
        return bounds;
    }
    scan.posChosenDocument = bounds.start;
    const std::uint64_t edit = scan.docEditTable.GetEditLength(bounds.start);
    if (edit == 0 || edit >= imageLength)
        bounds.base = (imageLength / sectorSize + 1) * sectorSize;
    else {
        bounds.base = edit;
        bounds.editFound = true;
    }
    return bounds;
}

}  // namespace

CDocumentCut TrimDocumentStream(DocumentScanState& scan, std::vector<std::uint8_t>&& image, std::uint64_t imageLength,
                                std::uint32_t sectorSize) {
    std::vector<std::uint8_t> released = std::move(image);
    imageLength = std::min<std::uint64_t>(imageLength, released.size());
    const CutBounds bounds = ChooseBounds(scan, imageLength, sectorSize);

    CDocumentCut cut;
    // The cut ends with the user edit's record: bytes after it belong to other
    // data, and a reader that finds them at the stream's end may refuse the file.
    // Without a user edit the rest of the image is taken.
    const std::uint64_t wanted = bounds.editFound ? bounds.base + ppt::kRecordHeaderSize : bounds.base + sectorSize;
    cut.length = std::min(wanted, imageLength - bounds.start);
    cut.stream.assign(static_cast<std::size_t>((cut.length / sectorSize + 1) * sectorSize), 0);
    if (cut.length)
        std::memcpy(cut.stream.data(), released.data() + bounds.start, static_cast<std::size_t>(cut.length));
    return cut;
}

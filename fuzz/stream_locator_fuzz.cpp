// CStreamLocator over a fuzzed compound file: the header check, the FAT walk,
// the runs, and the document image read from them (or the whole file), with the
// sector size that the repair job takes from the header; and the document
// stream put back together without the FAT from the same bytes.
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "repair/io/raw_file.h"
#include "repair/ppt/document_image.h"
#include "repair/ppt/compound_format.h"
#include "repair/ppt/record_signatures.h"
#include "repair/ppt/stream_locator.h"
#include "repair/ppt/stream_reassembly.h"

namespace {

std::uint32_t SectorSizeOf(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t shift = size > cfb::kSectorShiftOffset ? data[cfb::kSectorShiftOffset] : 0;
    return shift == cfb::kLargeSectorShift ? cfb::kLargeSectorSize : cfb::kSmallSectorSize;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = ScratchPath(".cfb");
    FuzzJob job;
    if (!WriteScratch(path, data, size) || !job.Open(path))
        return 0;
    const std::uint32_t sectorSize = SectorSizeOf(data, size);
    CStreamLocator locator;
    CDocumentImage image;
    if (BuildDocumentImage(job.source, sectorSize, locator, image, job.cancel) && image.length > image.bytes.size())
        std::abort();
    const auto stream = ReassembleDocumentStream(CByteView(data, size), job.cancel);
    if (stream && stream->size() > size)
        std::abort();
    return 0;
}

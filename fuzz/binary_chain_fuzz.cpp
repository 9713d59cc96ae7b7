// The binary repair's chain over a fuzzed compound file, as the repair job runs
// it before the compound-file writer: both source scans, the document image,
// the first document scan, the trim, and the second scan of the cut.
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "repair/io/raw_file.h"
#include "repair/ppt/document_image.h"
#include "repair/ppt/document_trim.h"
#include "repair/ppt/record_scanner.h"
#include "repair/ppt/compound_format.h"
#include "repair/ppt/record_signatures.h"
#include "repair/ppt/stream_locator.h"

namespace {

constexpr std::uint32_t kScanBlock = 512;

std::uint32_t SectorSizeOf(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t shift = size > cfb::kSectorShiftOffset ? data[cfb::kSectorShiftOffset] : 0;
    return shift == cfb::kLargeSectorShift ? cfb::kLargeSectorSize : cfb::kSmallSectorSize;
}

void RunChain(FuzzJob& job, std::uint64_t size, std::uint32_t sectorSize) {
    if (!ScanSourceFile(job.SourceScan(), size, kScanBlock, kScanEncryption) ||
        !ScanSourceFile(job.SourceScan(), size, kScanBlock, kScanPictures))
        return;
    CStreamLocator locator;
    CDocumentImage image;
    if (!BuildDocumentImage(job.source, sectorSize, locator, image, job.cancel))
        return;
    const std::uint32_t blockSize = job.source.m_nBlockSize;
    ScanDocumentRecords(job.scan, blockSize, image.bytes.data(), image.length);
    CDocumentCut cut = TrimDocumentStream(job.scan, std::move(image.bytes), image.length, image.scanUnit);
    if (cut.length > cut.stream.size())
        std::abort();
    job.scan.posDocument = kNoDocument;
    ScanDocumentRecords(job.scan, blockSize, cut.stream.data(), cut.length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = ScratchPath(".ppt");
    FuzzJob job;
    if (!WriteScratch(path, data, size) || !job.Open(path))
        return 0;
    RunChain(job, size, SectorSizeOf(data, size));
    return 0;
}

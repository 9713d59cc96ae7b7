// The document chain over a fuzzed image as the repair job runs it: the first
// scan, the cut from the chosen DocumentContainer, and the second scan of the cut.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "repair/ppt/document_trim.h"
#include "repair/ppt/record_scanner.h"

namespace {

void TrimWithUnit(const std::uint8_t* data, std::size_t size, std::uint32_t unit) {
    DocumentScanState scan;
    // The image as the job hands it over: its bytes and one sector of zeros.
    std::vector<std::uint8_t> image(data, data + size);
    image.resize(size + unit, 0);
    ScanDocumentRecords(scan, unit, image.data(), size);
    CDocumentCut cut = TrimDocumentStream(scan, std::move(image), size, unit);
    if (cut.length > cut.stream.size())
        std::abort();
    scan.posDocument = kNoDocument;
    ScanDocumentRecords(scan, unit, cut.stream.data(), cut.length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TrimWithUnit(data, size, 512);
    TrimWithUnit(data, size, 4096);
    return 0;
}

// ScanDocumentRecords over a fuzzed document image with no spare bytes behind
// it, with both scan units: containers, user edits, masters with their design
// names, and the document summary.
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "repair/ppt/record_scanner.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact copy: the scan must read nothing beyond the image.
    const std::vector<std::uint8_t> image(data, data + size);
    for (std::uint32_t blockSize : {512u, 4096u}) {
        DocumentScanState scan;
        ScanDocumentRecords(scan, blockSize, image.data(), image.size());
    }
    return 0;
}

// The source scans over a fuzzed file: the encryption check, then the picture
// count, and the "Pictures" stream made of the pictures found, as the repair job
// runs them. Block sizes other than the job's test the group boundaries.
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "repair/io/raw_file.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/record_scanner.h"

namespace {

constexpr std::uint32_t kJobBlock = 512;
constexpr std::uint32_t kOddBlock = 37;
constexpr std::uint32_t kSectorSize = 512;
// A stream this large is not built here: the listed records may overlap, so
// their sum is not bounded by the input.
constexpr std::uint64_t kLargestStream = 64u << 20;

void ScanWithBlock(FuzzJob& job, std::uint64_t size, std::uint32_t block) {
    job.pictures.Reset();
    job.pictures.m_nCount = 0;
    ScanSourceFile(job.SourceScan(), size, block, kScanEncryption);
    ScanSourceFile(job.SourceScan(), size, block, kScanPictures);
}

void BuildPictures(FuzzJob& job) {
    const std::uint64_t size = job.pictures.GetPicturesStreamSize();
    if (size == 0 || size > kLargestStream)
        return;
    std::vector<std::uint8_t> stream(static_cast<std::size_t>(size) + 3 * kSectorSize);
    job.pictures.BuildPicturesStream(stream, job.source);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = ScratchPath(".bin");
    FuzzJob job;
    if (!WriteScratch(path, data, size) || !job.Open(path))
        return 0;
    ScanWithBlock(job, size, kOddBlock);
    ScanWithBlock(job, size, kJobBlock);
    BuildPictures(job);
    return 0;
}

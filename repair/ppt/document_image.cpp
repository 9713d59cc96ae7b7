#include "repair/ppt/document_image.h"

#include <algorithm>

namespace {
constexpr std::uint64_t kLargestWholeImage = 0xFFFFFE00;  // a whole-file image is one 32-bit read
}

bool BuildDocumentImage(CRawFile& file, std::uint32_t sectorSize, CStreamLocator& locator, CDocumentImage& image,
                        const CancelToken& cancel) {
    locator.Free();
    locator.BuildRuns(file, sectorSize, cancel);
    const std::uint64_t runBytes = locator.m_nBlocks * sectorSize;
    image = CDocumentImage{};
    if (runBytes != 0 && runBytes <= file.m_nFileSize) {
        image.length = runBytes;
        image.scanUnit = sectorSize;
        image.bytes.assign(static_cast<std::size_t>(runBytes + sectorSize), 0);
        ReadRuns(image.bytes.data(), locator);
        return true;
    }
    image.wholeFile = true;
    image.length = std::min(file.m_nFileSize, kLargestWholeImage);
    image.scanUnit = file.m_nBlockSize;
    image.bytes.assign(static_cast<std::size_t>(image.length + sectorSize), 0);
    return file.ReadBlocks(image.bytes.data(), static_cast<std::uint32_t>(image.length), 0, TRUE);
}

#include "repair/ppt/source_bytes.h"

#include <cstring>
#include <vector>

BOOL ReadSourceBytes(CRawFile& file, std::uint8_t* dest, std::uint64_t position, std::uint32_t count) {
    const std::uint64_t blockSize = file.m_nBlockSize;
    const std::uint64_t firstBlock = position / blockSize;
    const std::uint64_t skip = position % blockSize;
    std::memset(dest, 0, count);
    if (skip == 0)
        return file.ReadBlocks(dest, count, firstBlock, TRUE);
    // An unaligned start: read the whole blocks that hold the bytes.
    const std::uint64_t span = skip + count;
    const std::uint64_t blocks = (span + blockSize - 1) / blockSize;
    if (blocks * blockSize > UINT32_MAX)
        return FALSE;
    std::vector<std::uint8_t> work(static_cast<std::size_t>(blocks * blockSize), 0);
    if (!file.ReadBlocks(work.data(), static_cast<std::uint32_t>(work.size()), firstBlock, TRUE))
        return FALSE;
    std::memcpy(dest, work.data() + skip, count);
    return TRUE;
}

#include "repair/pptx/package_source.h"

#include <cstring>

CPackageSource::CPackageSource() : m_block(kBlockSize) {}

bool CPackageSource::Open(const std::string& path) {
    m_blockStart = 0;
    m_blockLength = 0;
    if (!m_file.Open(path, FileAccess::ReadOnly) || !m_file.Size(m_size))
        return false;
    return true;
}

bool CPackageSource::LoadBlockAt(std::uint64_t position) {
    std::uint64_t start = position - position % kBlockSize;
    std::int64_t n = m_file.ReadAt(m_block.data(), kBlockSize, start);
    if (n < 0) {
        m_blockLength = 0;
        return false;
    }
    m_blockStart = start;
    m_blockLength = static_cast<std::size_t>(n);
    return true;
}

std::optional<CByteView> CPackageSource::Bytes(std::uint64_t position, std::size_t count) {
    if (position > m_size || count > m_size - position)
        return std::nullopt;
    if (!InBlock(position, count) && count <= kBlockSize && !InBlock(position, 1))
        LoadBlockAt(position);
    if (InBlock(position, count))
        return CByteView(m_block.data() + (position - m_blockStart), count);
    // Across the end of the block: read the bytes on their own.
    m_straddle.resize(count);
    if (m_file.ReadAt(m_straddle.data(), count, position) != static_cast<std::int64_t>(count))
        return std::nullopt;
    return CByteView(m_straddle.data(), count);
}

std::uint64_t CPackageSource::NextCandidate(std::uint64_t position) {
    while (position < m_size) {
        if (!InBlock(position, 1) && !LoadBlockAt(position))
            return m_size;
        if (m_blockLength == 0)
            return m_size;
        std::size_t index = static_cast<std::size_t>(position - m_blockStart);
        const void* hit = std::memchr(m_block.data() + index, 'P', m_blockLength - index);
        if (hit)
            return m_blockStart + static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - m_block.data());
        position = m_blockStart + m_blockLength;
    }
    return m_size;
}

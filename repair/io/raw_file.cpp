#include "repair/io/raw_file.h"

#include <vector>

#include "platform/system_error.h"

namespace {
constexpr std::uint32_t kBlockStep = 512;
constexpr std::uint32_t kLargestBlock = 0x10200;  // 129 tries of 512 bytes
}  // namespace

BOOL CRawFile::Open(const std::string& path, FileAccess access) {
    if (path.empty())
        return FALSE;
    m_nReadError = 0;
    if (!m_hFile.Open(path, access))
        return FALSE;
    DetectBlockSize();
    if (!m_hFile.Size(m_nFileSize))
        m_nFileSize = 0;
    return TRUE;
}

// The block size is the smallest multiple of 512 bytes that a read at the start
// of the file accepts: 512 for ordinary files, the sector granularity for a device
// that refuses shorter reads.
void CRawFile::DetectBlockSize() {
    for (std::uint32_t n = kBlockStep; n <= kLargestBlock; n += kBlockStep) {
        std::vector<std::uint8_t> probe(n);
        if (m_hFile.Read(probe.data(), n) >= 0) {
            m_hFile.Seek(0);
            m_nBlockSize = n;
            return;
        }
    }
}

// The first error stays, so that the repair can say why it failed; an error of
// the disk itself is not waited out.
BOOL CRawFile::FailRead(int error) {
    if (ClassifyReadError(error) != ReadFailure::Silent && m_nReadError == 0)
        m_nReadError = error;
    return FALSE;
}

BOOL CRawFile::ReadBlocks(void* buffer, std::uint32_t byteCount, std::uint64_t blockNumber, BOOL bSeek) {
    if (!m_hFile.IsOpen())
        return FALSE;
    // Positions are 64-bit products; a block number whose position would not fit
    // cannot be read.
    if (bSeek && (blockNumber > UINT64_MAX / m_nBlockSize || !m_hFile.Seek(blockNumber * m_nBlockSize)))
        return FailRead(m_hFile.LastError());
    if (m_hFile.Read(buffer, byteCount) < 0)
        return FailRead(m_hFile.LastError());
    return TRUE;
}

BOOL CRawFile::WriteBlocks(const void* buffer, std::uint32_t byteCount, std::uint64_t blockNumber, BOOL bSeek) {
    if (!m_hFile.IsOpen())
        return FALSE;
    if (bSeek && blockNumber <= UINT64_MAX / m_nBlockSize)
        m_hFile.Seek(blockNumber * m_nBlockSize);
    return m_hFile.Write(buffer, byteCount) ? TRUE : FALSE;
}

void CRawFile::Close() {
    m_hFile.Close();
}

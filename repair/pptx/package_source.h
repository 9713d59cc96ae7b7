#pragma once
// The damaged package as the scan sees it: read in blocks of 333,333 bytes
// aligned from the start of the file, with reads that straddle a block end served
// from a side buffer. A read that would run past the end of the file, or that
// fails, gives "not found".
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "repair/io/read_value.h"

class CPackageSource {
public:
    static constexpr std::size_t kBlockSize = 333333;

    CPackageSource();
    bool Open(const std::string& path);
    void Close() { m_file.Close(); }
    std::uint64_t Size() const { return m_size; }
    int Fd() const { return m_file.Fd(); }

    // The bytes [position, position + count); valid until the next call.
    std::optional<CByteView> Bytes(std::uint64_t position, std::size_t count);
    // The first position at or after `position` whose byte could start a "PK"
    // signature; the file size when there is none. Every position skipped holds
    // a byte other than 'P', so no signature is passed over.
    std::uint64_t NextCandidate(std::uint64_t position);
    // True when [position, position + count) lies in the block in memory.
    bool InBlock(std::uint64_t position, std::uint64_t count) const {
        return position >= m_blockStart && position - m_blockStart <= m_blockLength &&
               count <= m_blockLength - (position - m_blockStart);
    }

private:
    bool LoadBlockAt(std::uint64_t position);

    CFileHandle m_file;
    std::uint64_t m_size = 0;
    std::vector<std::uint8_t> m_block;
    std::uint64_t m_blockStart = 0;
    std::size_t m_blockLength = 0;
    std::vector<std::uint8_t> m_straddle;
};

#pragma once
// Block-addressed file with 64-bit positions: the damaged file is read as a
// plain run of bytes, addressed by block number.
#include <cstdint>
#include <string>

#include "platform/file_handle.h"
#include "platform/win_types.h"

class CRawFile {
public:
    // The file under repair is only read; files the program writes open read-write.
    BOOL Open(const std::string& path, FileAccess access = FileAccess::ReadOnly);
    // Reads `byteCount` bytes at block `blockNumber` (when `bSeek`) into `buffer`.
    // TRUE also when the end of the file cuts the read short: the rest of the
    // buffer keeps what the caller put there.
    BOOL ReadBlocks(void* buffer, std::uint32_t byteCount, std::uint64_t blockNumber, BOOL bSeek);
    BOOL WriteBlocks(const void* buffer, std::uint32_t byteCount, std::uint64_t blockNumber, BOOL bSeek);
    void Close();
    bool IsOpen() const { return m_hFile.IsOpen(); }
    // The error of the first read that failed since Open (errno), 0 for none.
    int ReadError() const { return m_nReadError; }

    CFileHandle m_hFile;
    std::uint64_t m_nFileSize = 0;
    std::uint32_t m_nBlockSize = 512;

private:
    void DetectBlockSize();
    int m_nReadError = 0;
    BOOL FailRead(int error);
};

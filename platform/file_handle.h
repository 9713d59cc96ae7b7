#pragma once
// A file descriptor with 64-bit positions. Errors are kept as errno values.
#include <cstddef>
#include <cstdint>
#include <string>

enum class FileAccess {
    ReadOnly,    // the file under repair: never opened for writing
    ReadWrite,   // an existing file the program itself writes
    CreateNew,   // a new file; fails when the file exists
    CreateAlways // a new file, or an existing one emptied
};

// Opens `path` read-only without updating its access time where the system
// allows it; a descriptor, or -1 with errno set.
int OpenReadOnlyQuietly(const std::string& path);

class CFileHandle {
public:
    CFileHandle() = default;
    ~CFileHandle() { Close(); }
    CFileHandle(CFileHandle&& other) noexcept;
    CFileHandle& operator=(CFileHandle&& other) noexcept;
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;

    bool Open(const std::string& path, FileAccess access);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }

    bool Seek(std::uint64_t position);
    // Reads up to `count` bytes at the current position; the number read, or -1.
    std::int64_t Read(void* buffer, std::size_t count);
    // Reads up to `count` bytes at `position`, stopping early only at the end of the file.
    std::int64_t ReadAt(void* buffer, std::size_t count, std::uint64_t position);
    // Writes all `count` bytes at the current position.
    bool Write(const void* buffer, std::size_t count);
    // From now on, every few megabytes written are handed to the disk at once,
    // so that a flush at the end has little left to wait for.
    void WriteBackAsWritten() { m_writeBack = true; }
    bool Size(std::uint64_t& size);
    // errno of the last failed call.
    int LastError() const { return m_lastError; }

private:
    void StartWriteBack();

    int m_fd = -1;
    int m_lastError = 0;
    bool m_writeBack = false;
    std::uint64_t m_written = 0;      // bytes written since the file was opened
    std::uint64_t m_writtenBack = 0;  // of those, handed to the disk
};

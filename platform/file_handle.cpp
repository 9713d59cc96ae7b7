#include "platform/file_handle.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace {

// How much written data gathers before it is handed to the disk.
constexpr std::uint64_t kWriteBackWindow = 8u << 20;

int OpenFlags(FileAccess access) {
    switch (access) {
    case FileAccess::ReadOnly:
        return O_RDONLY;
    case FileAccess::ReadWrite:
        return O_RDWR;
    case FileAccess::CreateNew:
        return O_RDWR | O_CREAT | O_EXCL;
    case FileAccess::CreateAlways:
        return O_RDWR | O_CREAT | O_TRUNC;
    }
    return O_RDONLY;
}

}  // namespace

// Opens for reading without touching the file's access time where the system
// allows it (the owner, or a privileged process), so that a repair leaves the
// source's timestamps exactly as they were.
int OpenReadOnlyQuietly(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd;
}

CFileHandle::CFileHandle(CFileHandle&& other) noexcept { *this = std::move(other); }

CFileHandle& CFileHandle::operator=(CFileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
        m_lastError = other.m_lastError;
        m_writeBack = other.m_writeBack;
        m_written = other.m_written;
        m_writtenBack = other.m_writtenBack;
    }
    return *this;
}

bool CFileHandle::Open(const std::string& path, FileAccess access) {
    Close();
    m_writeBack = false;
    m_written = m_writtenBack = 0;
    if (access == FileAccess::ReadOnly)
        m_fd = OpenReadOnlyQuietly(path);
    else
        m_fd = ::open(path.c_str(), OpenFlags(access) | O_CLOEXEC, 0644);
    m_lastError = m_fd < 0 ? errno : 0;
    return m_fd >= 0;
}

void CFileHandle::Close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool CFileHandle::Seek(std::uint64_t position) {
    if (position > static_cast<std::uint64_t>(INT64_MAX)) {
        m_lastError = EINVAL;
        return false;
    }
    if (::lseek(m_fd, static_cast<off_t>(position), SEEK_SET) < 0) {
        m_lastError = errno;
        return false;
    }
    return true;
}

namespace {

// Reads until `count` bytes are in or the file ends; `readSome(offset, n)` is one
// read call for the bytes from `offset` of the request.
template <typename ReadSome>
std::int64_t ReadFully(std::size_t count, int& lastError, ReadSome readSome) {
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = readSome(done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            lastError = errno;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

}  // namespace

std::int64_t CFileHandle::Read(void* buffer, std::size_t count) {
    return ReadFully(count, m_lastError, [&](std::size_t offset, std::size_t n) {
        return ::read(m_fd, static_cast<char*>(buffer) + offset, n);
    });
}

std::int64_t CFileHandle::ReadAt(void* buffer, std::size_t count, std::uint64_t position) {
    return ReadFully(count, m_lastError, [&](std::size_t offset, std::size_t n) {
        return ::pread(m_fd, static_cast<char*>(buffer) + offset, n, static_cast<off_t>(position + offset));
    });
}

bool CFileHandle::Write(const void* buffer, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::write(m_fd, static_cast<const char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_lastError = n < 0 ? errno : EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    m_written += count;
    if (m_writeBack)
        StartWriteBack();
    return true;
}

void CFileHandle::StartWriteBack() {
    if (m_written - m_writtenBack < kWriteBackWindow)
        return;
    // Only a start: the pages go to the disk while the program writes on.
    ::sync_file_range(m_fd, static_cast<off_t>(m_writtenBack), static_cast<off_t>(m_written - m_writtenBack),
                      SYNC_FILE_RANGE_WRITE);
    m_writtenBack = m_written;
}

bool CFileHandle::Size(std::uint64_t& size) {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        m_lastError = errno;
        return false;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

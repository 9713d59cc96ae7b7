#include "repair/io/mapped_file.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_handle.h"

CMappedFile::~CMappedFile() { Unmap(); }

void CMappedFile::SetPath(const std::string& path) { m_pszPath = path; }

int CMappedFile::Map(const char* path) {
    Unmap();
    int fd = OpenReadOnlyQuietly(path ? std::string(path) : m_pszPath);
    if (fd < 0)
        return 1;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        m_hFile = fd;  // the handle stays open, as a failed size read leaves it
        return 3;
    }
    m_nSize = static_cast<std::uint64_t>(st.st_size);
    void* view = m_nSize ? ::mmap(nullptr, m_nSize, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
    if (view == MAP_FAILED) {
        ::close(fd);
        m_nSize = 0;
        return 2;
    }
    ::madvise(view, m_nSize, MADV_SEQUENTIAL);
    m_hFile = fd;
    m_pView = static_cast<const std::uint8_t*>(view);
    return 0;
}

int CMappedFile::Unmap() {
    if (m_pView && ::munmap(const_cast<std::uint8_t*>(m_pView), m_nSize) != 0)
        return 1;
    m_pView = nullptr;
    if (m_hFile >= 0)
        ::close(m_hFile);
    m_hFile = -1;
    m_nSize = 0;
    return 0;
}

#pragma once
// Read-only memory-mapped view of a whole file, with the path it maps.
#include <cstdint>
#include <string>

class CMappedFile {
public:
    CMappedFile() = default;
    ~CMappedFile();
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;

    void SetPath(const std::string& path);
    const std::string& Path() const { return m_pszPath; }

    // Maps the file at `path` (nullptr: the stored path). 0 on success; 1 the file
    // cannot be opened; 2 no mapping (an empty file cannot be mapped); 3 its size
    // cannot be read.
    int Map(const char* path);
    // 0 when the view was released (or none was held).
    int Unmap();

    const std::uint8_t* View() const { return m_pView; }
    std::uint64_t Size() const { return m_nSize; }

private:
    int m_hFile = -1;
    const std::uint8_t* m_pView = nullptr;
    std::string m_pszPath;
    std::uint64_t m_nSize = 0;
};

#pragma once
// Writes bytes to a file in a fresh temporary folder and opens it as a file
// under repair (File()) for as long as the object lives.
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "repair/io/raw_file.h"
#include "support/temp_dir.h"

class SourceFile {
public:
    explicit SourceFile(const std::vector<std::uint8_t>& bytes, const std::string& name = "source.ppt") {
        m_path = m_dir / name;
        std::ofstream(m_path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                      static_cast<std::streamsize>(bytes.size()));
        m_open = m_file.Open(m_path);
    }
    // Opens an existing file.
    explicit SourceFile(const std::string& path) : m_path(path) { m_open = m_file.Open(m_path); }
    ~SourceFile() { m_file.Close(); }
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    bool IsOpen() const { return m_open; }
    const std::string& Path() const { return m_path; }
    CRawFile& File() { return m_file; }

private:
    TempDir m_dir;
    CRawFile m_file;
    std::string m_path;
    bool m_open = false;
};

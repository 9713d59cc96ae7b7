#pragma once
// Small ZIP packages built byte by byte for the tests, and a reader of the
// rebuilt package's directory.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testzip {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Crc32(const std::string& data);

struct Entry {
    Entry(std::string n, std::string d) : name(std::move(n)), data(std::move(d)) {}
    std::string name;
    std::string data;              // stored as it is (method 0) unless `method` says otherwise
    std::uint16_t method = 0;
    bool streaming = false;        // sizes and CRC zero in the header, a descriptor follows
    bool descriptorSigned = true;  // the descriptor starts with its signature
    bool zip64Form = false;        // header sizes 0xFFFFFFFF with a ZIP64 extra field
    std::string extra;             // further extra field bytes
    std::optional<std::uint32_t> compressedSizeOverride;   // the header's compressed size
    std::optional<std::uint64_t> uncompressedSize64;       // ZIP64 form: the declared size
    std::optional<std::uint32_t> crcOverride;              // the CRC written instead of that of `data`
};

// An entry whose data is `text` deflated, with the text's CRC and size.
Entry Deflated(const std::string& name, const std::string& text);
// The parts of the smallest sound presentation (no slides), stored: content
// types, package relationships, the presentation part and its relationships.
std::vector<Entry> MinimalPresentation();
// Raw deflate of `text`.
std::string DeflateRaw(const std::string& text);

class Builder {
public:
    // Appends a local header, its data and (when streaming) a descriptor; returns its offset.
    std::uint64_t Add(const Entry& entry);
    void Garbage(const std::string& bytes) { Raw(bytes); }
    void Raw(const std::string& bytes) { m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end()); }
    // Appends the central directory of everything added and the end record.
    void Finish();
    const Bytes& bytes() const { return m_bytes; }
    std::uint64_t size() const { return m_bytes.size(); }

private:
    struct Record {
        Entry entry;
        std::uint64_t offset;
    };
    Bytes m_bytes;
    std::vector<Record> m_records;
};

// One directory record of a package, and the local header it points to.
struct DirEntry {
    std::string name;
    std::uint16_t flags = 0, method = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0, uncompressedSize = 0, offset = 0;
    std::uint16_t extraLength = 0;
    Bytes extra;
    // From the local header at `offset`:
    bool localMatches = false;     // name, CRC, sizes and flags agree with this record
    bool localHasZip64 = false;    // the local header carries a ZIP64 extra field
    std::string data;              // the entry's stored bytes
    std::uint64_t end = 0;         // offset just past its data, and its descriptor if it has one
};

struct Directory {
    bool endRecordLast = false;    // the last 22 bytes are an end record with no comment
    std::uint16_t countField = 0;  // entry count of the end record
    bool zip64End = false;         // a ZIP64 end record and locator precede it
    std::uint64_t zip64Count = 0;
    std::vector<DirEntry> entries;
};

// Reads the directory through the end records; nothing when it cannot be read.
std::optional<Directory> ReadDirectory(const Bytes& package);

// `head` followed by `fill` up to `size` bytes: a file that is no package, or one
// that only starts like one.
Bytes Filled(std::string head, std::size_t size, char fill);

Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);

}  // namespace testzip

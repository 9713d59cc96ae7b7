#pragma once
// The 8-byte header that opens every record of a presentation's document
// stream, read through the bounded reader.
#include <cstdint>
#include <optional>
#include <vector>

#include "repair/io/read_value.h"
#include "repair/ppt/record_signatures.h"

namespace ppt {

struct RecordHeader {
    std::uint16_t verInstance = 0;  // recVer in the low 4 bits, recInstance above
    std::uint16_t type = 0;
    std::uint32_t length = 0;  // of the body, after the header

    std::uint16_t Version() const { return verInstance & kContainerVersion; }
    std::uint16_t Instance() const { return static_cast<std::uint16_t>(verInstance >> 4); }
    bool IsContainer() const { return Version() == kContainerVersion; }
};

inline RecordHeader ReadRecordHeader(CByteReader& reader) {
    RecordHeader h;
    h.verInstance = reader.Le16();
    h.type = reader.Le16();
    h.length = reader.Le32();
    return h;
}

// The header at `at`, when its 8 bytes lie inside the view.
inline std::optional<RecordHeader> RecordHeaderAt(const CByteView& view, std::uint64_t at) {
    CByteReader reader(view, at);
    const RecordHeader h = ReadRecordHeader(reader);
    return reader.Ok() ? std::optional(h) : std::nullopt;
}

// The header at `at` of a record that lies wholly inside the view, body included.
inline std::optional<RecordHeader> WholeRecordAt(const CByteView& view, std::uint64_t at) {
    CByteReader reader(view, at);
    const RecordHeader h = ReadRecordHeader(reader);
    return reader.Skip(h.length) ? std::optional(h) : std::nullopt;
}

// Calls `visit(at, header)` for each child of the container at `at`, in order,
// while the children fit; true when they fill the container exactly.
template <typename Visit>
bool ForEachChild(const CByteView& view, std::size_t at, Visit&& visit) {
    const auto h = WholeRecordAt(view, at);
    if (!h)
        return false;
    const std::size_t end = at + kRecordHeaderSize + h->length;
    std::size_t child = at + kRecordHeaderSize;
    while (child < end) {
        const auto c = RecordHeaderAt(view, child);
        if (!c || end - child < kRecordHeaderSize || c->length > end - child - kRecordHeaderSize)
            return false;
        visit(child, *c);
        child += kRecordHeaderSize + c->length;
    }
    return true;
}

// Records written anew, appended to `out`.
inline void AppendWord(std::vector<std::uint8_t>& out, std::uint32_t value) {
    const std::size_t at = out.size();
    out.resize(at + 4);
    PutLe32(&out[at], value);
}

inline void AppendHeader(std::vector<std::uint8_t>& out, std::uint16_t verInstance, std::uint16_t type,
                         std::uint32_t length) {
    const std::size_t at = out.size();
    out.resize(at + kRecordHeaderSize);
    PutLe16(&out[at], verInstance);
    PutLe16(&out[at + 2], type);
    PutLe32(&out[at + kRecLenOffset], length);
}

}  // namespace ppt

#pragma once
// Local file headers as the package scan reads them from the damaged source.
#include <cstdint>
#include <optional>
#include <vector>

#include "repair/io/read_value.h"
#include "repair/pptx/package_source.h"
#include "repair/pptx/zip_format.h"

// One local header as read from the source.
struct LocalHeader {
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;     // from the ZIP64 field when the header defers to it
    std::uint64_t uncompressedSize = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t extraLength = 0;
    std::optional<std::size_t> zip64Field;   // offset of the ZIP64 extra field within the extra field
    std::vector<std::uint8_t> bytes;         // header, name and extra field

    std::size_t Length() const { return zip::local::kSize + nameLength + extraLength; }
    bool HasDescriptor() const { return flags & zip::kFlagDescriptor; }
};

// The offset of the first extra field tagged `tag` whose data holds at least
// `minData` bytes, within an extra field area.
std::optional<std::size_t> FindExtraField(CByteView extra, std::uint16_t tag, std::size_t minData);

// The local header at `position`; nothing when it runs past the end of the file.
std::optional<LocalHeader> ReadLocalHeader(CPackageSource& source, std::uint64_t position);
// The same with the name length given (by a directory record) in place of the
// header's own, which is written into the header bytes.
std::optional<LocalHeader> ReadLocalHeader(CPackageSource& source, std::uint64_t position,
                                           std::optional<std::uint16_t> nameLength);

// A header is taken when it has a name and its data ends within the file.
bool Acceptable(const LocalHeader& h, std::uint64_t position, std::uint64_t sourceSize);

// True when an acceptable local header starts at `position`.
bool AcceptableHeaderAt(CPackageSource& source, std::uint64_t position);

#include "repair/pptx/local_header.h"

namespace {
constexpr std::uint64_t k32 = zip::kZip64Marker;
}

std::optional<std::size_t> FindExtraField(CByteView extra, std::uint16_t tag, std::size_t minData) {
    std::size_t at = 0;
    while (auto fieldTag = extra.Le16(at)) {
        auto dataSize = extra.Le16(at + 2);
        if (!dataSize || !extra.Has(at + zip::kExtraHeaderSize, *dataSize))
            return std::nullopt;
        if (*fieldTag == tag && *dataSize >= minData)
            return at;
        at += zip::kExtraHeaderSize + *dataSize;
    }
    return std::nullopt;
}

std::optional<LocalHeader> ReadLocalHeader(CPackageSource& source, std::uint64_t position) {
    return ReadLocalHeader(source, position, std::nullopt);
}

std::optional<LocalHeader> ReadLocalHeader(CPackageSource& source, std::uint64_t position,
                                           std::optional<std::uint16_t> nameLength) {
    auto fixed = source.Bytes(position, zip::local::kSize);
    if (!fixed)
        return std::nullopt;
    LocalHeader h;
    h.versionNeeded = *fixed->Le16(zip::local::kVersionNeeded);
    h.flags = *fixed->Le16(zip::local::kFlags);
    h.method = *fixed->Le16(zip::local::kMethod);
    h.crc = *fixed->Le32(zip::local::kCrc);
    h.compressedSize = *fixed->Le32(zip::local::kCompressedSize);
    h.uncompressedSize = *fixed->Le32(zip::local::kUncompressedSize);
    h.nameLength = nameLength.value_or(*fixed->Le16(zip::local::kNameLength));
    h.extraLength = *fixed->Le16(zip::local::kExtraLength);

    auto whole = source.Bytes(position, h.Length());
    if (!whole)
        return std::nullopt;
    h.bytes.assign(whole->data(), whole->data() + whole->size());
    PutLe16(&h.bytes[zip::local::kNameLength], h.nameLength);
    CByteView extra(h.bytes.data() + zip::local::kSize + h.nameLength, h.extraLength);
    // The ZIP64 field of a local header holds both sizes: 16 bytes at least.
    h.zip64Field = FindExtraField(extra, zip::kZip64ExtraTag, 16);
    if (h.zip64Field && (h.compressedSize == k32 || h.uncompressedSize == k32)) {
        h.uncompressedSize = *extra.Le64(*h.zip64Field + zip::kExtraHeaderSize);
        h.compressedSize = *extra.Le64(*h.zip64Field + zip::kExtraHeaderSize + 8);
    }
    return h;
}

// A header is taken when it has a name and its data ends within the file. An entry
// that ends exactly at the end is kept: that is how a package whose directory was
// cut off ends.
bool Acceptable(const LocalHeader& h, std::uint64_t position, std::uint64_t sourceSize) {
    std::uint64_t dataStart = position + h.Length();
    return h.nameLength != 0 && dataStart <= sourceSize && h.compressedSize <= sourceSize - dataStart;
}


bool AcceptableHeaderAt(CPackageSource& source, std::uint64_t position) {
    auto sig = source.Bytes(position, 4);
    if (!sig || !sig->Matches(0, zip::kLocalHeaderSig, 4))
        return false;
    auto h = ReadLocalHeader(source, position);
    return h && Acceptable(*h, position, source.Size());
}

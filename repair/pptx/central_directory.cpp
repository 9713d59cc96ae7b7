#include "repair/pptx/central_directory.h"

#include "repair/pptx/zip_format.h"

namespace {
// The end record's comment is at most 65,535 bytes long.
constexpr std::uint64_t kEndSearch = zip::kEndSize + 0xFFFF;
constexpr std::uint8_t kEndSig[4] = {'P', 'K', 5, 6};
}  // namespace

std::unordered_map<std::uint64_t, DirectoryRecord> ReadSurvivingDirectory(CPackageSource& source) {
    std::unordered_map<std::uint64_t, DirectoryRecord> records;
    const std::uint64_t size = source.Size();
    if (size < zip::kEndSize)
        return records;
    const std::uint64_t searchStart = size > kEndSearch ? size - kEndSearch : 0;
    auto tail = source.Bytes(searchStart, static_cast<std::size_t>(size - searchStart));
    if (!tail)
        return records;
    std::optional<std::uint64_t> endAt;
    for (std::size_t at = tail->size() - zip::kEndSize + 1; at-- > 0;)
        if (tail->Matches(at, kEndSig, 4)) {
            endAt = searchStart + at;
            break;
        }
    if (!endAt)
        return records;
    auto end = source.Bytes(*endAt, zip::kEndSize);
    if (!end)
        return records;
    const std::uint64_t dirLength = *end->Le32(12), dirOffset = *end->Le32(16);
    if (dirOffset == zip::kZip64Marker || dirLength > kMaxSurvivingDirectory || dirLength > *endAt)
        return records;
    // The directory ends where the end record starts; what its offset field is
    // short of that is a prefix in front of the package.
    const std::uint64_t dirStart = *endAt - dirLength;
    if (dirStart < dirOffset)
        return records;
    const std::uint64_t shift = dirStart - dirOffset;
    auto dir = source.Bytes(dirStart, static_cast<std::size_t>(dirLength));
    if (!dir)
        return records;
    const CByteView view = *dir;  // a copy of the view: the bytes stay until the next read
    namespace c = zip::central;
    for (std::size_t at = 0;;) {
        auto fixed = view.Sub(at, c::kSize);
        if (!fixed || !fixed->Matches(0, zip::kCentralHeaderSig, 4))
            break;
        const std::uint16_t nameLength = *fixed->Le16(c::kNameLength);
        auto name = view.Sub(at + c::kSize, nameLength);
        const std::uint64_t offset = *fixed->Le32(c::kLocalHeaderOffset);
        const std::uint64_t compressed = *fixed->Le32(c::kCompressedSize);
        if (!name)
            break;
        if (offset != zip::kZip64Marker && compressed != zip::kZip64Marker && nameLength > 0)
            records[offset + shift] = {std::string(reinterpret_cast<const char*>(name->data()), nameLength), compressed};
        at += c::kSize + nameLength + *fixed->Le16(c::kExtraLength) + *fixed->Le16(c::kCommentLength);
    }
    return records;
}

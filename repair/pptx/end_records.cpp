#include "repair/pptx/end_records.h"

#include "repair/io/read_value.h"
#include "repair/pptx/zip_format.h"

namespace {
constexpr std::uint64_t k32 = zip::kZip64Marker;
}

bool EndNeedsZip64(std::uint64_t count, std::uint64_t offset, std::uint64_t length) {
    return count > zip::kMaxPlainCount || length >= k32 || offset >= k32;
}

void AppendEndRecords(std::vector<std::uint8_t>& out, std::uint64_t count, std::uint64_t offset,
                      std::uint64_t length, std::uint16_t version) {
    if (EndNeedsZip64(count, offset, length)) {
        std::uint8_t end64[zip::kZip64EndSize] = {};
        namespace e = zip::end64;
        PutLe32(end64, zip::kZip64EndMagic);
        PutLe64(end64 + e::kRecordSize, zip::kZip64EndSize - e::kSizeFieldEnd);
        PutLe16(end64 + e::kVersionMadeBy, version);
        PutLe16(end64 + e::kVersionNeeded, version);
        PutLe64(end64 + e::kEntriesOnDisk, count);
        PutLe64(end64 + e::kEntries, count);
        PutLe64(end64 + e::kDirectorySize, length);
        PutLe64(end64 + e::kDirectoryOffset, offset);
        std::uint8_t locator[zip::kZip64LocatorSize] = {};
        PutLe32(locator, zip::kZip64LocatorMagic);
        PutLe64(locator + zip::locator::kEndOffset, offset + length);
        PutLe32(locator + zip::locator::kDiskCount, 1);
        out.insert(out.end(), end64, end64 + sizeof end64);
        out.insert(out.end(), locator, locator + sizeof locator);
    }
    std::uint8_t end[zip::kEndSize] = {};
    const std::uint16_t plainCount =
        count > zip::kMaxPlainCount ? zip::kZip64CountMarker : static_cast<std::uint16_t>(count);
    PutLe32(end, zip::kEndMagic);
    PutLe16(end + zip::end::kEntriesOnDisk, plainCount);
    PutLe16(end + zip::end::kEntries, plainCount);
    PutLe32(end + zip::end::kDirectorySize, length >= k32 ? zip::kZip64Marker : static_cast<std::uint32_t>(length));
    PutLe32(end + zip::end::kDirectoryOffset, offset >= k32 ? zip::kZip64Marker : static_cast<std::uint32_t>(offset));
    out.insert(out.end(), end, end + sizeof end);
}

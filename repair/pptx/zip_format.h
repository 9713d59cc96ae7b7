#pragma once
// ZIP record layouts, as the PKWARE application note lays them down: signatures,
// field offsets and the fixed values the rebuilt directory carries. All values
// are little-endian.
#include <cstddef>
#include <cstdint>

namespace zip {

// Record signatures as their four file bytes.
inline constexpr std::uint8_t kLocalHeaderSig[4] = {'P', 'K', 3, 4};
inline constexpr std::uint8_t kCentralHeaderSig[4] = {'P', 'K', 1, 2};
inline constexpr std::uint8_t kDescriptorSig[4] = {'P', 'K', 7, 8};
inline constexpr std::uint32_t kLocalHeaderMagic = 0x04034B50;
inline constexpr std::uint32_t kDescriptorMagic = 0x08074B50;
inline constexpr std::uint32_t kCentralHeaderMagic = 0x02014B50;
inline constexpr std::uint32_t kZip64EndMagic = 0x06064B50;
inline constexpr std::uint32_t kZip64LocatorMagic = 0x07064B50;
inline constexpr std::uint32_t kEndMagic = 0x06054B50;

// Local file header.
namespace local {
inline constexpr std::size_t kVersionNeeded = 4;
inline constexpr std::size_t kFlags = 6;
inline constexpr std::size_t kMethod = 8;
inline constexpr std::size_t kTime = 10;
inline constexpr std::size_t kDate = 12;
inline constexpr std::size_t kCrc = 14;
inline constexpr std::size_t kCompressedSize = 18;
inline constexpr std::size_t kUncompressedSize = 22;
inline constexpr std::size_t kNameLength = 26;
inline constexpr std::size_t kExtraLength = 28;
inline constexpr std::size_t kSize = 30;
}  // namespace local

// Central directory file header as written.
namespace central {
inline constexpr std::size_t kVersionMadeBy = 4;
inline constexpr std::size_t kVersionNeeded = 6;
inline constexpr std::size_t kFlags = 8;
inline constexpr std::size_t kMethod = 10;
inline constexpr std::size_t kTime = 12;
inline constexpr std::size_t kDate = 14;
inline constexpr std::size_t kCrc = 16;
inline constexpr std::size_t kCompressedSize = 20;
inline constexpr std::size_t kUncompressedSize = 24;
inline constexpr std::size_t kNameLength = 28;
inline constexpr std::size_t kExtraLength = 30;
inline constexpr std::size_t kCommentLength = 32;
inline constexpr std::size_t kDiskStart = 34;
inline constexpr std::size_t kInternalAttributes = 36;
inline constexpr std::size_t kExternalAttributes = 38;
inline constexpr std::size_t kLocalHeaderOffset = 42;
inline constexpr std::size_t kSize = 46;
inline constexpr std::uint32_t kArchiveAttribute = 0x00000020;
}  // namespace central

// Data descriptor: signature, CRC, then sizes of 4 bytes, or 8 in the ZIP64 form.
// Some writers leave the signature out: the same fields then start 4 bytes earlier.
namespace descriptor {
inline constexpr std::size_t kSignatureSize = 4;
inline constexpr std::size_t kCrc = 4;
inline constexpr std::size_t kCompressedSize = 8;
inline constexpr std::size_t kUncompressedSize = 12;
inline constexpr std::size_t kZip64UncompressedSize = 16;
inline constexpr std::size_t kSize = 16;
inline constexpr std::size_t kZip64Size = 24;
}  // namespace descriptor

// The old directory header's method field, read where the scan meets one.
inline constexpr std::size_t kCentralMethodOffset = 10;

// "Version needed to extract": the highest that the application note defines,
// and what a damaged value above it is written as.
inline constexpr std::uint16_t kHighestVersion = 63;
inline constexpr std::uint16_t kVersionDeflate = 20;
inline constexpr std::uint16_t kVersionZip64 = 45;

// Compression methods the repair reads.
inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;

// General purpose flags.
inline constexpr std::uint16_t kFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kFlagDescriptor = 0x0008;
// Encryption and patched-data flags: a reader refuses the entry for them, so on
// an entry whose data checks sound they are damage.
inline constexpr std::uint16_t kFlagsRefused = 0x0001 | 0x0020 | 0x0040 | 0x2000;

// Extra fields: a tag and a data size of two bytes each, then the data.
inline constexpr std::size_t kExtraHeaderSize = 4;
inline constexpr std::uint16_t kZip64ExtraTag = 0x0001;
inline constexpr std::uint16_t kNtfsExtraTag = 0x000A;
inline constexpr std::size_t kNtfsExtraSize = 36;  // header, reserved, attribute tag and size, three times
inline constexpr std::uint16_t kNtfsTimesTag = 0x0001;
inline constexpr std::uint16_t kNtfsTimesSize = 24;

// A 32-bit field of this value says "see the ZIP64 record"; 16-bit counts use 0xFFFF.
inline constexpr std::uint32_t kZip64Marker = 0xFFFFFFFF;
inline constexpr std::uint16_t kZip64CountMarker = 0xFFFF;
inline constexpr std::uint32_t kMaxPlainCount = 0xFFFF;

// End of central directory record.
namespace end {
inline constexpr std::size_t kEntriesOnDisk = 8;
inline constexpr std::size_t kEntries = 10;
inline constexpr std::size_t kDirectorySize = 12;
inline constexpr std::size_t kDirectoryOffset = 16;
}  // namespace end

// ZIP64 end of central directory record: its size field counts the bytes after it.
namespace end64 {
inline constexpr std::size_t kRecordSize = 4;
inline constexpr std::size_t kSizeFieldEnd = 12;
inline constexpr std::size_t kVersionMadeBy = 12;
inline constexpr std::size_t kVersionNeeded = 14;
inline constexpr std::size_t kEntriesOnDisk = 24;
inline constexpr std::size_t kEntries = 32;
inline constexpr std::size_t kDirectorySize = 40;
inline constexpr std::size_t kDirectoryOffset = 48;
}  // namespace end64

// ZIP64 end of central directory locator.
namespace locator {
inline constexpr std::size_t kEndOffset = 8;
inline constexpr std::size_t kDiskCount = 16;
}  // namespace locator

inline constexpr std::size_t kZip64EndSize = 56;
inline constexpr std::size_t kZip64LocatorSize = 20;
inline constexpr std::size_t kEndSize = 22;

}  // namespace zip

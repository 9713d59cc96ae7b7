#pragma once
// The layout of a compound file ([MS-CFB]) as its readers meet it: the header,
// the special sector numbers and the directory entry. Offsets are in bytes.
#include <cstddef>
#include <cstdint>

namespace cfb {

// Header: 512 bytes at the start of the file, whatever the sector size.
inline constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
inline constexpr std::uint32_t kHeaderSize = 512;
inline constexpr std::uint32_t kMinorVersionOffset = 24;
inline constexpr std::uint16_t kMinorVersions[2] = {0x003E, 0x003B};
inline constexpr std::uint32_t kMajorVersionOffset = 26;
inline constexpr std::uint16_t kMajorVersion4 = 4;  // 4096-byte sectors, 64-bit stream sizes
inline constexpr std::uint32_t kByteOrderOffset = 28;
inline constexpr std::uint16_t kByteOrderMark = 0xFFFE;
inline constexpr std::uint32_t kSectorShiftOffset = 30;
inline constexpr std::uint32_t kMiniSectorShiftOffset = 32;
inline constexpr std::uint32_t kFatSectorCountOffset = 44;
inline constexpr std::uint32_t kFirstDirectorySectorOffset = 48;
inline constexpr std::uint32_t kMiniStreamCutoffOffset = 56;
inline constexpr std::uint32_t kFirstMiniFatSectorOffset = 60;
inline constexpr std::uint32_t kDifatFirstOffset = 68;
inline constexpr std::uint32_t kDifatCountOffset = 72;
inline constexpr std::uint32_t kHeaderDifatOffset = 76;
inline constexpr std::uint32_t kHeaderDifatEntries = 109;

// Sector sizes: 512 bytes (version 3) or 4096 (version 4); mini sectors of 64.
inline constexpr std::uint16_t kSmallSectorShift = 9;
inline constexpr std::uint16_t kLargeSectorShift = 12;
inline constexpr std::uint32_t kSmallSectorSize = 1u << kSmallSectorShift;
inline constexpr std::uint32_t kLargeSectorSize = 1u << kLargeSectorShift;
inline constexpr std::uint16_t kMiniSectorShift = 6;
inline constexpr std::uint32_t kDefaultMiniStreamCutoff = 4096;

// Sector numbers above kMaxRegularSector are special.
inline constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
inline constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
inline constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
inline constexpr std::uint32_t kNoStream = 0xFFFFFFFF;  // no sibling or child entry

// Directory entries: 128 bytes each, the root storage first.
inline constexpr std::size_t kDirectoryEntrySize = 128;
inline constexpr std::uint32_t kEntryNameBytes = 64;  // UTF-16, NUL-terminated
inline constexpr std::uint32_t kEntryNameLengthOffset = 64;
inline constexpr std::uint32_t kEntryTypeOffset = 66;
inline constexpr std::uint8_t kEntryTypeStorage = 1;
inline constexpr std::uint8_t kEntryTypeStream = 2;
inline constexpr std::uint8_t kEntryTypeRoot = 5;
inline constexpr std::uint32_t kEntryColourOffset = 67;  // 0 red, 1 black
inline constexpr std::uint32_t kEntryLeftSiblingOffset = 68;
inline constexpr std::uint32_t kEntryRightSiblingOffset = 72;
inline constexpr std::uint32_t kEntryChildOffset = 76;
inline constexpr std::uint32_t kEntryStartSectorOffset = 116;
inline constexpr std::uint32_t kEntrySizeOffset = 120;  // low 32 bits; the high 32 follow in version 4

}  // namespace cfb

#pragma once
// The new binary presentation: a compound file with the carved pictures, the
// rebuilt document stream and a "Current User" stream made from a fixed
// template, patched to point at the user edit and test-opened by the office.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"

#include "repair/ppt/persist_relink.h"
#include "repair/ppt/record_signatures.h"

class CancelToken;
class CPictureCarver;
class CRawFile;

using ppt::kCurrentUserStreamName;
using ppt::kDocumentStreamName;
using ppt::kPicturesStreamName;

// The "Current User" stream as written. Bytes 0..34 are a CurrentUserAtom of
// recLen 27; the 27 bytes after it are not part of the record.
inline constexpr std::size_t kCurrentUserStreamSize = 62;
inline constexpr std::array<std::uint8_t, kCurrentUserStreamSize> kCurrentUserTemplate = {
    0x00, 0x00, 0xF6, 0x0F,                          // recVer/recInstance 0, recType 0x0FF6
    0x1B, 0x00, 0x00, 0x00,                          // recLen 27
    0x14, 0x00, 0x00, 0x00,                          // size 20
    0x5F, 0xC0, 0x91, 0xE3,                          // headerToken: not encrypted
    0xF8, 0xA8, 0x01, 0x00,                          // offsetToCurrentEdit: placeholder until patched
    0x03, 0x00,                                      // lenUserName 3
    0xF4, 0x03,                                      // docFileVersion
    0x03, 0x00,                                      // majorVersion, minorVersion
    0xFF, 0xFF,                                      // unused
    0x2E, 0x2E, 0x2E,                                // ansiUserName "..."
    0x08, 0x00, 0x00, 0x00,                          // relVersion 8
    0x61, 0x00, 0x00, 0x00, 0x61, 0x6E, 0x08, 0x00, 0x00,  // trailing bytes
    0x00, 0x51, 0x00, 0x75, 0x00, 0x65, 0x00, 0x6E, 0x00,  // "Quendrivo", each letter after a zero
    0x64, 0x00, 0x72, 0x00, 0x69, 0x00, 0x76, 0x00, 0x6F,
};
// offsetToCurrentEdit inside the template: the only bytes the patch pass changes.
inline constexpr std::size_t kCurrentEditFieldOffset = ppt::kCurrentUserEditOffset;
inline constexpr std::size_t kCurrentEditFieldSize = 4;

// The carved pictures of the file under repair and that file, open, which
// their bytes are read from.
struct CarvedSource {
    const CPictureCarver& pictures;
    CRawFile& file;
};

// Writes the compound file `path` with the streams "Pictures" (`keptPictures`
// when given, else the carved pictures, when there are any), "PowerPoint
// Document" (`streamLength` bytes of `stream`) and "Current User", points the
// CurrentUserAtom at `offsetToCurrentEdit` and has the office open the file as
// a test. TRUE when the office opened it (and closed it again unsaved). FALSE
// when it could not be written or patched, on a cancel (the file stays), or
// when the office refused it (the file is deleted).
BOOL WritePresentationFile(const CarvedSource& carved, const CancelToken& cancel, std::uint32_t sectorSize,
                           const std::uint8_t* stream, const std::string& path, std::uint32_t streamLength,
                           std::uint32_t offsetToCurrentEdit, const std::vector<std::uint8_t>& keptPictures = {});

// Where each carved picture lies in the "Pictures" stream that
// WritePresentationFile writes, with its BLIP id read from the file. Empty
// when that stream is not written.
std::vector<PictureSlot> CarvedPictureSlots(const CarvedSource& carved);

// Stores `offsetToCurrentEdit` in every CurrentUserAtom of the file at `path`
// that is the whole written template (all its bytes but that field); nothing
// else changes. Reads `chunkBlocks` blocks at a time. The number of atoms
// patched, or -1 when the file cannot be read or written or the run is cancelled.
int PatchCurrentUserAtoms(const std::string& path, std::uint32_t offsetToCurrentEdit, const CancelToken& cancel,
                          std::uint32_t chunkBlocks = 2048);

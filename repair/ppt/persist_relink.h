#pragma once
// The relink of the "PowerPoint Document" stream: from the document image it
// finds the live user edit, gathers the newest valid version of every persist
// object along the edit chain (bridging breaks with the user edits a scan finds)
// and writes them once, as a full save would: the objects, one
// PersistDirectoryAtom and one UserEditAtom. Persist ids stay as they were, so
// every reference the document makes by persist id still resolves.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "repair/io/read_value.h"
#include "repair/recovery_report.h"

// Where a picture lies in the "Pictures" stream that goes with the relinked
// stream: the BLIP's id and the offset of its record.
struct PictureSlot {
    std::array<std::uint8_t, 16> uid{};
    std::uint32_t offset = 0;
};

enum class PersistKind { Document, Slide, Notes, MainMaster, Handout, ExternalStorage, Other };

struct RelinkedObject {
    std::uint32_t persistId = 0;
    PersistKind kind = PersistKind::Other;
    std::uint64_t imageOffset = 0;  // where it was read
    std::uint32_t streamOffset = 0;  // where it is written
};

struct RelinkResult {
    std::vector<std::uint8_t> stream;    // the new stream; empty when no live document was found
    std::uint32_t userEditOffset = 0;    // offsetToCurrentEdit for the "Current User" stream
    std::vector<RelinkedObject> kept;    // in persist id order
    std::vector<std::uint32_t> slides;   // persist ids of the slides, in the slide list's order
    std::vector<ReportItem> items;       // objects left out, or taken from an earlier save
    bool fromOlderVersions = false;      // an object came from an earlier save than its newest entry
    bool everythingKept = false;         // every object of the live edit present and valid
    // The original "Pictures" stream, when it survived whole: written as it is,
    // so that every foDelay stays valid. Empty: the carved pictures are written.
    std::vector<std::uint8_t> pictures;
    bool Usable() const { return !stream.empty(); }
};

// Relinks `image`. `currentEdit` is the user edit offset that "Current User"
// names, when it is known. `pictures` moves each BStore entry's foDelay to its
// picture in the written "Pictures" stream; empty keeps foDelay as it is.
// `scattered`: the image is not the stream itself but sectors of the file (the
// whole file, or runs of it), so a record may lie elsewhere than its offset says.
RelinkResult RelinkDocumentStream(const CByteView& image, std::optional<std::uint32_t> currentEdit = std::nullopt,
                                  const std::vector<PictureSlot>& pictures = {}, bool scattered = false);

// Where the newest valid version of each persist object lies in `image`, by
// persist id, as the walk of the user edits from the live one finds them
// (bridging breaks as the relink does); empty when no valid user edit is found.
std::map<std::uint32_t, std::size_t> NewestPersistObjects(const CByteView& image,
                                                          std::optional<std::uint32_t> currentEdit = std::nullopt,
                                                          bool scattered = false);

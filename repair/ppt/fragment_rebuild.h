#pragma once
// The rebuild from fragments: when no compound file can be made of the damaged
// presentation, the office session builds a new one. The slide plan decides
// the slides (see slide_plan.h); each gets the texts and named pictures of its
// records, and the carved pictures follow on slides of their own. The file
// under repair is scanned to count documents, slide lists, slides and notes.
#include <cstdint>
#include <string>

#include "platform/win_types.h"
#include "repair/ppt/slide_plan.h"

class CancelToken;
class CPictureCarver;
class CRawFile;
struct DocumentScanState;

// Layout codes handed to the session's MapSlideLayout for the slides a
// container opens: 0 for a slide list, this for a slide or notes container.
inline constexpr std::uint32_t kSlideLayoutCode = 0x10000000;

// What a rebuild reads and where it counts.
struct FragmentSource {
    CRawFile& file;             // the file under repair
    const std::string& path;    // its path: opened once more to place the carved pictures
    CPictureCarver& pictures;   // the carved pictures; the rebuild uses them up
    DocumentScanState& scan;    // the recovered texts; documents, slide and notes containers are counted here
    const CancelToken& cancel;
};

// Builds the slides of `plan`, scans `source.file` in groups of 129 units of
// `sectorSize` and saves the working presentation at `path`, which the session
// has open. TRUE when the scan ran to the end and the result was saved; FALSE
// on a cancel, a failed read, a failed save, or no open source.
// The presentation is saved and closed either way.
BOOL RebuildFromFragments(const FragmentSource& source, std::uint32_t sectorSize, const std::string& path,
                          const SlidePlan& plan);

// Walks the container whose header is at `fileOffset` of `file`, with
// `recLen` bytes of body after the header start as its header says (bounded
// by the file). FALSE only when its read fails.
BOOL WalkContainer(CRawFile& file, const CancelToken& cancel, std::uint32_t layoutCode, std::uint64_t fileOffset,
                   std::uint32_t recLen);

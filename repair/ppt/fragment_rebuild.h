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

extern std::uint32_t g_nSlideContainers;  // slide lists and slides handled
extern std::uint64_t g_nNotesContainers;  // notes handled

// Layout codes handed to the session's MapSlideLayout for the slides a
// container opens: 0 for a slide list, this for a slide or notes container.
inline constexpr std::uint32_t kSlideLayoutCode = 0x10000000;

// Builds the slides of `plan`, scans `g_srcFile` in groups of 129 units of
// `sectorSize` and saves the working presentation at `path`, which the session
// has open. TRUE when the
// scan ran to the end and the result was saved; FALSE on a cancel, a failed read,
// a failed save, or no open source.
// The presentation is saved and closed either way.
BOOL RebuildFromFragments(std::uint32_t sectorSize, const std::string& path, const SlidePlan& plan);

// Walks the container whose header is at `fileOffset` of `g_srcFile`, with
// `recLen` bytes of body after the header start as its header says (bounded
// by the file). FALSE only when its read fails.
BOOL WalkContainer(std::uint32_t layoutCode, std::uint64_t fileOffset, std::uint32_t recLen);

// Zeroes the two counts above; the repair page does it before each repair.
void ResetFragmentCounts();

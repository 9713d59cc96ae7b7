#pragma once
// A repair never hands over less than the damaged file itself shows: at the end
// of a repair the office measures the working copy and, when asked to, the
// damaged file (a private copy, opened read-only). The working copy stands only
// when it shows what the damaged file shows; otherwise the working copy becomes
// the damaged file saved anew by the office, a clean file of the same format.
#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/com_types.h"

class CancelToken;

// What the office shows of a presentation.
struct CPresentationMeasure {
    bool opened = false;
    LONG slides = 0;
    LONG characters = 0;               // text on the slides
    std::set<std::string> paragraphs;  // distinct paragraphs, whitespace folded
};

enum class KeptResult { Repaired, Source };

// The distinct paragraphs of the shapes' texts: split at line and paragraph
// breaks, runs of white space folded to one space, empty ones left out.
std::set<std::string> DistinctParagraphs(const std::vector<std::string>& texts);

// True when `shower` shows the paragraphs of `shown`, allowing 2 % of them to
// be missing for the office's own rewriting of text.
bool ShowsParagraphsOf(const CPresentationMeasure& shower, const CPresentationMeasure& shown);

// The working copy stands when it shows every paragraph that the damaged file
// shows and at least its slides; when each shows all of the other's paragraphs
// and the working copy has more slides, the damaged file wins (a rebuild that
// repeats older versions of slides is no better than the file it came from). A damaged file that does not
// open, or opens with no slide, never wins; neither does a working copy that
// does not open or holds no slide over a damaged file that shows slides.
KeptResult ChooseResult(const CPresentationMeasure& source, const CPresentationMeasure& repaired);

// 4180 as "4,180"; a negative count as "0".
std::string Grouped(std::int64_t value);

// One line for the user: which result was kept and why.
std::string DescribeResult(KeptResult kept, const CPresentationMeasure& source, const CPresentationMeasure& repaired);

// Pictures of the first slides of the result that stands, made while the
// office has it open anyway: how many (none by default), how wide in pixels,
// and the time they may take in all.
struct SlidePictureRequest {
    LONG slides = 0;
    LONG width = 0;
    std::chrono::milliseconds budget{0};
    bool Wanted() const { return slides > 0 && width > 0; }
};

// What the office made of one repair's ending.
struct CCheckedResult {
    KeptResult kept = KeptResult::Repaired;
    CPresentationMeasure repaired;  // the working copy; not opened when it does not exist
    CPresentationMeasure source;    // the damaged file; not opened unless compared
    bool officeAvailable = true;    // false when the office could not be started at all
    std::string line;               // DescribeResult's line; empty when nothing was compared
    std::vector<std::string> pictures;  // PNG pictures of the kept result's first slides, when asked for
};

// Measures `working` (when it exists) in the office and, when `compare`, the
// damaged file `source`; when the source is chosen, `working` is replaced by the
// source saved anew (and the working copy stands when that save fails). The
// pictures asked for are made of whichever stands, in the temporary folder, and
// their failure changes nothing else; after a cancel nothing more is asked of
// the office. The office is closed at the end.
CCheckedResult CheckInTheOffice(const std::string& source, const std::string& working, bool compare,
                                const CancelToken& cancel, const SlidePictureRequest& pictures = {});

// Pictures of the first slides of `path` as asked for, for a result that needed
// no check in the office: it is opened read-only for them alone, and nothing
// else depends on them. None when none are asked for or the office fails.
std::vector<std::string> SlidePicturesOf(const std::string& path, const SlidePictureRequest& request,
                                         const CancelToken& cancel);

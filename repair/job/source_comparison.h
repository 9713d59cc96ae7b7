#pragma once
// A repair never hands over less than the damaged file itself shows: at the end
// of a repair the office measures the damaged file (opened read-only) and the
// working copy; when the damaged file shows more, the working copy becomes the
// damaged file saved anew by the office, a clean file of the same format.
#include <string>

#include "platform/com_types.h"

// What the office shows of a presentation.
struct CPresentationMeasure {
    bool opened = false;
    LONG slides = 0;
    LONG characters = 0;  // text on the slides
};

enum class KeptResult { Repaired, Source };

// The damaged file wins when it opens and shows more slides or more text than
// the working copy: the working copy stands only when it holds at least as much
// of both.
KeptResult ChooseResult(const CPresentationMeasure& source, const CPresentationMeasure& repaired);

// One line for the user: which result was kept and why.
std::string DescribeResult(KeptResult kept, const CPresentationMeasure& source, const CPresentationMeasure& repaired);

// The line of the last repair's choice; empty when no choice was made.
extern std::string g_strResultReport;

// Whether repairs end with the comparison (true unless a caller turns it off).
extern bool g_bCompareWithSource;

// At the end of a successful repair: compares `working` with `source` and, when
// the source shows more, replaces `working` by the source saved anew.
void KeepTheBetterResult(const std::string& source, const std::string& working);

// After a failed repair: when `source` opens with slides, `working` becomes the
// source saved anew; true then.
bool SaveSourceIfItOpens(const std::string& source, const std::string& working);

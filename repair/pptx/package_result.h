#pragma once
// What the package repair gives back: whether it produced a result, why not when
// it did not, and the state of every part.
#include <vector>

#include "repair/recovery_report.h"

enum class PackageFailure {
    None,
    Unreadable,        // no package could be rebuilt from the bytes
    NotAPresentation,  // the parts that survived hold no presentation and no slide
    WriteFailed,
    Cancelled,
};

struct PackageRepairResult {
    bool repaired = false;
    PackageFailure failure = PackageFailure::None;
    // Every part of the result, and every part left out.
    std::vector<ReportItem> items;
    // True when every entry was copied byte for byte and its CRC verified, and
    // nothing was regenerated or left out.
    bool everythingKept = false;
};

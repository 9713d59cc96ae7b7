// Which result a repair hands over: its own working copy, or the damaged file
// saved anew when the office shows more of it.
#include <gtest/gtest.h>

#include "repair/job/source_comparison.h"

namespace {

CPresentationMeasure Shows(LONG slides, LONG characters) { return {true, slides, characters, {}}; }
const CPresentationMeasure kClosed{};

TEST(SourceComparison, TheWorkingCopyStandsOnlyWhenItHoldsAtLeastAsMuch) {
    struct Case {
        const char* what;
        CPresentationMeasure source, repaired;
        KeptResult kept;
    } cases[] = {
        {"the damaged file does not open", kClosed, Shows(3, 100), KeptResult::Repaired},
        {"the damaged file does not open, nor the repair", kClosed, kClosed, KeptResult::Repaired},
        {"the same slides and text", Shows(3, 100), Shows(3, 100), KeptResult::Repaired},
        {"the repair holds more of both", Shows(3, 100), Shows(5, 400), KeptResult::Repaired},
        {"more slides in the damaged file", Shows(4, 100), Shows(3, 100), KeptResult::Source},
        {"as many slides, more text in the damaged file", Shows(3, 101), Shows(3, 100), KeptResult::Source},
        {"more slides in the repair but less text", Shows(3, 500), Shows(9, 100), KeptResult::Source},
        {"a repair the office cannot open", Shows(1, 0), kClosed, KeptResult::Source},
        {"an empty damaged file and an unreadable repair", Shows(0, 0), kClosed, KeptResult::Repaired},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseResult(c.source, c.repaired), c.kept) << c.what;
}

TEST(SourceComparison, TheReportSaysWhatWasKeptAndWhy) {
    EXPECT_EQ(DescribeResult(KeptResult::Repaired, Shows(0, 0), Shows(12, 4180)),
              "kept the rebuilt file: 12 slides, 4,180 characters; the damaged file opens with 0 slides, 0 characters");
    EXPECT_EQ(DescribeResult(KeptResult::Repaired, kClosed, Shows(1, 1234567)),
              "kept the rebuilt file: 1 slide, 1,234,567 characters; the damaged file does not open");
    EXPECT_EQ(DescribeResult(KeptResult::Source, Shows(14, 1265), Shows(3, 20)),
              "kept the damaged file as the office reads it, saved anew: 14 slides, 1,265 characters; the rebuilt "
              "file held 3 slides, 20 characters");
    EXPECT_EQ(DescribeResult(KeptResult::Source, Shows(2, 5), kClosed),
              "kept the damaged file as the office reads it, saved anew: 2 slides, 5 characters; nothing could be "
              "rebuilt");
}

}  // namespace

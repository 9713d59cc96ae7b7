// Which result a repair hands over: its own working copy, or the damaged file
// saved anew when the office shows more of it.
#include <gtest/gtest.h>

#include "repair/job/source_comparison.h"

namespace {

CPresentationMeasure Shows(LONG slides, LONG characters) { return {true, slides, characters, {}}; }
const CPresentationMeasure kClosed{};

// `slides` slides showing the paragraphs "p<first>" to "p<last>".
CPresentationMeasure ShowsParagraphs(LONG slides, int first, int last) {
    CPresentationMeasure measure{true, slides, 0, {}};
    for (int k = first; k <= last; ++k)
        measure.paragraphs.insert("p" + std::to_string(k));
    return measure;
}

TEST(SourceComparison, TheRepairStandsWhenItShowsWhatTheDamagedFileShows) {
    struct Case {
        const char* what;
        CPresentationMeasure source, repaired;
        KeptResult kept;
    } cases[] = {
        {"the damaged file does not open", kClosed, ShowsParagraphs(3, 1, 9), KeptResult::Repaired},
        {"neither opens", kClosed, kClosed, KeptResult::Repaired},
        {"the damaged file opens with no slide", ShowsParagraphs(0, 1, 0), kClosed, KeptResult::Repaired},
        {"a repair the office cannot open", ShowsParagraphs(1, 1, 1), kClosed, KeptResult::Source},
        {"a repair with no slide", ShowsParagraphs(1, 1, 1), ShowsParagraphs(0, 1, 0), KeptResult::Source},
        {"the same slides and paragraphs", ShowsParagraphs(3, 1, 9), ShowsParagraphs(3, 1, 9), KeptResult::Repaired},
        {"the repair shows more: the damaged file opens at an older save", ShowsParagraphs(1, 1, 5),
         ShowsParagraphs(2, 1, 9), KeptResult::Repaired},
        {"the same paragraphs over many more slides: versions repeated", ShowsParagraphs(29, 1, 200),
         ShowsParagraphs(466, 1, 200), KeptResult::Source},
        {"the same paragraphs over fewer slides: slides lost", ShowsParagraphs(5, 1, 20), ShowsParagraphs(4, 1, 20),
         KeptResult::Source},
        {"a quarter of the paragraphs lost", ShowsParagraphs(10, 1, 100), ShowsParagraphs(12, 26, 100),
         KeptResult::Source},
        {"one paragraph in a hundred lost: the office's own rewriting", ShowsParagraphs(10, 1, 100),
         ShowsParagraphs(10, 2, 100), KeptResult::Repaired},
        {"three in a hundred lost", ShowsParagraphs(10, 1, 100), ShowsParagraphs(10, 4, 100), KeptResult::Source},
        {"more text but fewer slides", ShowsParagraphs(6, 1, 10), ShowsParagraphs(5, 1, 12), KeptResult::Source},
        {"sums decide nothing: fewer characters, every paragraph", {true, 3, 5000, {"title"}},
         {true, 3, 10, {"title", "body"}}, KeptResult::Repaired},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseResult(c.source, c.repaired), c.kept) << c.what;
}

TEST(SourceComparison, ParagraphsAreSplitAtBreaksWithWhiteSpaceFolded) {
    EXPECT_EQ(DistinctParagraphs({"Title\nfirst  point\r\n\tsecond point ", "first point", "", " \n "}),
              (std::set<std::string>{"Title", "first point", "second point"}));
    EXPECT_EQ(DistinctParagraphs({"a\vb\fc"}), (std::set<std::string>{"a", "b", "c"}));
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

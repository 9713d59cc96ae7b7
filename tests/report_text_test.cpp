// The recovery report as the command line gives it: the summary and the JSON.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "repair/job/report_text.h"

namespace {

RepairResult Mended() {
    RepairResult result;
    RecoveryReport& report = result.report;
    report.outcome = RepairOutcome::RepairedInPart;
    report.method = RepairMethod::ContainerRebuilt;
    report.slides = 12;
    report.characters = 4180;
    report.pictures = 3;
    report.checkedInOffice = true;
    report.items = {{"ppt/slides/slide3.xml", ItemState::Mended, "cut-off XML closed"},
                    {"ppt/media/image2.png", ItemState::LeftOut, "cannot be made whole"},
                    {"ppt/slides/slide1.xml", ItemState::Kept, ""}};
    report.source = {true, 10, 3000, 41};
    result.resultPath = "/tmp/x/tempRecDoc.pptx";
    return result;
}

}  // namespace

TEST(ReportText, TheSummarySaysWhatCameBackAndWhatDidNot) {
    EXPECT_EQ(ReportSummary(Mended()),
              "Repaired in part: 12 slides, 4,180 characters, 3 pictures (package rebuilt); opened in the office.\n"
              "Left out:\n  ppt/media/image2.png (cannot be made whole)\n"
              "Mended:\n  ppt/slides/slide3.xml (cut-off XML closed)\n"
              "The damaged file opens in the office with 10 slides, 3,000 characters.");
    RepairResult failed;
    failed.report.reason = "This file is not a PowerPoint presentation.";
    EXPECT_EQ(ReportSummary(failed), "Not repaired: This file is not a PowerPoint presentation.");
}

TEST(ReportText, TheJsonHasItsFixedShapeEvenForNamesThatAreNotText) {
    RepairResult result = Mended();
    result.report.items.push_back({"ppt/slides/sl\x96\xFF.xml", ItemState::LeftOut, "damaged name"});
    result.report.characters = kNotCounted;
    const nlohmann::json json = ReportJson(result, "in.pptx", "out.pptx");
    const nlohmann::json back = nlohmann::json::parse(DumpReport(json));
    EXPECT_EQ(back["format"], kReportFormatVersion);
    EXPECT_EQ(back["outcome"], "repaired-in-part");
    EXPECT_EQ(back["method"], "container-rebuilt");
    EXPECT_TRUE(back["result"]["characters"].is_null());
    EXPECT_EQ(back["result"]["slides"], 12);
    EXPECT_EQ(back["damagedFile"]["paragraphs"], 41);
    ASSERT_EQ(back["items"].size(), 4u);
    EXPECT_EQ(back["items"][1]["state"], "left-out");
    EXPECT_EQ(back["items"][3]["name"], "ppt/slides/sl\xEF\xBF\xBD\xEF\xBF\xBD.xml");
    EXPECT_TRUE(ReportJson(RepairResult{}, "in.ppt", "")["destination"].is_null());
    EXPECT_NE(ReportSummary(result).find("ppt/slides/sl\xEF\xBF\xBD\xEF\xBF\xBD.xml (damaged name)"), std::string::npos);
}

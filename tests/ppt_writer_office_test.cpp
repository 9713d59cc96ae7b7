// The written compound file against the real office server, on corpus files
// whose cut cannot stand alone: incremental saves (the cut starts at a later
// DocumentContainer, so earlier objects fall outside it) and a stream with
// records before its DocumentContainer (the cut no longer starts at the
// stream's beginning). The office refuses the file, it is deleted, and the
// repair goes on with the rebuild from fragments.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

#include "automation/impress_server.h"
#include "repair/job/job_state.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/document_edit_table.h"
#include "repair/ppt/document_image.h"
#include "repair/ppt/document_trim.h"
#include "repair/ppt/presentation_writer.h"
#include "repair/ppt/record_scanner.h"
#include "support/office_required.h"
#include "support/job_harness.h"
#include "support/process.h"
#include "support/source_file.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// The cut that the job makes of `path`, with g_posUserEdit pointing into it.
CDocumentCut CutAsTheJobDoes(std::uint32_t& unit) {
    g_posDocument = kNoDocument;
    g_posUserEdit = 0;
    g_docEditTable.Clear();
    CStreamLocator locator;
    CDocumentImage image;
    if (!BuildDocumentImage(g_srcFile, 512, locator, image))
        return {};
    unit = image.scanUnit;
    ScanDocumentRecords(unit, image.bytes.data(), image.length);
    CDocumentCut cut = TrimDocumentStream(std::move(image.bytes), image.length, unit);
    g_posDocument = kNoDocument;
    ScanDocumentRecords(unit, cut.stream.data(), cut.length);
    return cut;
}

TEST(WrittenFileWithTheOffice, RefusedCutIsDeletedAndTheRelinkedStreamComesBackWhole) {
    DECKMEND_REQUIRE_OFFICE();
    DECKMEND_REQUIRE_CORPUS();
    struct Case {
        const char* name;
        const char* why;
        int truthSlides;
    } cases[] = {
        {"poi-38256.ppt", "three incremental saves", 1},
        {"poi-56260.ppt", "records before the DocumentContainer", 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ": " + c.why);
        const std::string source = SharedPath(std::string("corpus/ppt/") + c.name);
        TempDir dir;
        {
            SourceFile open(source);
            ASSERT_TRUE(open.IsOpen());
            g_bRun = 1;
            std::uint32_t unit = 0;
            const CDocumentCut cut = CutAsTheJobDoes(unit);
            ASSERT_NE(g_posUserEdit, 0u);
            g_pictureCarver.Reset();
            EXPECT_FALSE(WritePresentationFile(unit, cut.stream.data(), dir / "written.ppt",
                                               static_cast<std::uint32_t>(cut.length)));
            EXPECT_FALSE(fs::exists(dir / "written.ppt")) << "a refused file is deleted";
        }
        // The repair does not need the cut: the relinked stream holds every live
        // object once, and the office shows the original's slides.
        const ProcessResult r = RunProcess(
            {BuildPath("deckmend-repair"), "--report", dir / "report.json", source, dir / "out.ppt"}, dir / "");
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::ifstream in(dir / "report.json");
        const nlohmann::json report = nlohmann::json::parse(in, nullptr, false);
        ASSERT_FALSE(report.is_discarded());
        EXPECT_EQ(report["method"], "stream-relinked") << r.out;
        EXPECT_EQ(report["result"]["slides"], c.truthSlides) << r.out;
        EXPECT_TRUE(fs::exists(dir / "out.ppt"));
    }
}

}  // namespace

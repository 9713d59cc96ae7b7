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
#include "repair/io/job_control.h"
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

// The cut that the job makes of `file`, with `scan.posUserEdit` pointing into it.
CDocumentCut CutAsTheJobDoes(CRawFile& file, DocumentScanState& scan, std::uint32_t& unit) {
    const CancelToken going;
    CStreamLocator locator;
    CDocumentImage image;
    if (!BuildDocumentImage(file, 512, locator, image, going))
        return {};
    unit = image.scanUnit;
    ScanDocumentRecords(scan, file.m_nBlockSize, image.bytes.data(), image.length);
    CDocumentCut cut = TrimDocumentStream(scan, std::move(image.bytes), image.length, unit);
    scan.posDocument = kNoDocument;
    ScanDocumentRecords(scan, file.m_nBlockSize, cut.stream.data(), cut.length);
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
            std::uint32_t unit = 0;
            DocumentScanState scan;
            const CDocumentCut cut = CutAsTheJobDoes(open.File(), scan, unit);
            ASSERT_NE(scan.posUserEdit, 0u);
            const CPictureCarver none;
            const CancelToken going;
            EXPECT_FALSE(WritePresentationFile({none, open.File()}, going, unit, cut.stream.data(), dir / "written.ppt",
                                               static_cast<std::uint32_t>(cut.length),
                                               static_cast<std::uint32_t>(scan.posUserEdit)));
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

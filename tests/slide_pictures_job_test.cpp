// The repair's pictures of the result's first slides, made by the real office
// while it checks the result: as many as asked for and the result has, PNG of
// the width asked for, none left as files in the job's folder; a result that
// needed no check is opened for its pictures alone, and only when they are asked for.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "support/job_harness.h"
#include "support/office_required.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace {

namespace fs = std::filesystem;

// A real presentation of two slides.
testzip::Bytes SoundPackage() { return testzip::ReadFile(SharedPath("corpus/pptx/aspj-OpenPresentation.pptx")); }

// The same, cut off at nine tenths: the office checks what comes back of it.
testzip::Bytes CutPackage() {
    testzip::Bytes bytes = SoundPackage();
    bytes.resize(bytes.size() * 9 / 10);
    return bytes;
}

// The width written in a PNG picture's header; 0 when it is no PNG picture.
std::uint32_t PngWidth(const std::string& png) {
    if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1A\n", 8) != 0 || png.compare(12, 4, "IHDR") != 0)
        return 0;
    std::uint32_t width = 0;
    for (std::size_t i = 16; i < 20; ++i)
        width = width << 8 | static_cast<unsigned char>(png[i]);
    return width;
}

std::size_t PictureFilesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::count_if(fs::directory_iterator(folder), fs::directory_iterator(), [](const auto& entry) {
        return entry.path().extension() == ".png";
    }));
}

}  // namespace

TEST(SlidePicturesWithTheOffice, TheResultThatStandsIsPicturedAsAsked) {
    DECKMEND_REQUIRE_OFFICE();
    DECKMEND_REQUIRE_CORPUS();
    const SlidePictureRequest eight{8, 160, std::chrono::minutes(2)};
    struct Case {
        const char* what;
        testzip::Bytes (*content)();
        SlidePictureRequest asked;
        bool pictured;
        bool checked;  // in the office, for its figures
    } cases[] = {
        {"a checked repair, asked for more slides than it has", CutPackage, eight, true, true},
        {"a checked repair, not asked", CutPackage, {}, false, true},
        // Every part came back as it was: its figures come from the parts, and the
        // office opens it for the pictures alone.
        {"a sound package, handed over unchecked", SoundPackage, eight, true, false},
        {"a sound package, not asked", SoundPackage, {}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir, temp;
        testzip::WriteFile(dir / "deck.pptx", c.content());
        JobOptions options;
        options.withOffice = true;
        options.slidePictures = c.asked;
        const RecoveryReport report = RunJob(dir / "deck.pptx", temp.path(), options).result.report;
        ASSERT_TRUE(report.outcome == RepairOutcome::Repaired || report.outcome == RepairOutcome::RepairedInPart ||
                    report.outcome == RepairOutcome::KeptSource)
            << OutcomeName(report.outcome) << ": " << report.reason;
        EXPECT_EQ(report.checkedInOffice, c.checked);
        if (!c.pictured) {
            EXPECT_EQ(report.slidePictures.size(), 0u);
        } else {
            EXPECT_EQ(report.slidePictures.size(), static_cast<std::size_t>(std::min<std::int64_t>(report.slides, 8)));
            for (const std::string& picture : report.slidePictures)
                EXPECT_EQ(PngWidth(picture), 160u);
        }
        EXPECT_EQ(PictureFilesIn(temp.path()), 0u);
    }
}

// The rebuild from fragments on a file made of nothing but container headers
// whose recLens run on to its end: walked each whole, they would take the file
// size squared. The rebuild ends by itself within its walk budget, with every
// container counted, and a cancel stops it at once.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "repair/io/read_value.h"
#include "repair/io/job_control.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/record_scanner.h"
#include "repair/ppt/fragment_rebuild.h"
#include "repair/ppt/slide_builder.h"
#include "support/source_file.h"

namespace {

using Clock = std::chrono::steady_clock;

class CountingBuilder final : public CSlideBuilder {
public:
    CountingBuilder() { m_previous = SetSlideBuilder(this); }
    ~CountingBuilder() override { SetSlideBuilder(m_previous); }

    LONG MapSlideLayout(std::uint32_t) override { return 1; }
    HRESULT GetSlideCount(LONG& count) override {
        count = m_slides;
        return S_OK;
    }
    HRESULT AddSlide(LONG, LONG) override {
        ++m_slides;
        return S_OK;
    }
    HRESULT SetSlideTitle(const std::string&, float, float, float, float) override { return S_OK; }
    HRESULT AddTextBox(const std::string&, float, float, float, float) override { return S_OK; }
    HRESULT SetFont() override { return S_OK; }
    HRESULT AddPicture(const std::string&, float, float, float, float) override { return S_OK; }
    HRESULT DeleteEmptyShapes() override { return S_OK; }
    HRESULT DeleteSlideIfEmpty() override { return S_OK; }
    HRESULT SetNotesText(const std::string&) override { return S_OK; }
    HRESULT SavePresentation(const std::string&) override { return S_OK; }

private:
    CSlideBuilder* m_previous = nullptr;
    LONG m_slides = 0;
};

// SlideContainer headers back to back, each with a recLen beyond the file.
std::vector<std::uint8_t> NestedSlideContainers(std::size_t bytes) {
    std::vector<std::uint8_t> file(bytes);
    for (std::size_t at = 0; at + 8 <= bytes; at += 8) {
        PutLe16(&file[at], 0x000F);
        PutLe16(&file[at + 2], 0x03EE);
        PutLe32(&file[at + 4], 0x7FFFFFFF);
    }
    return file;
}

TEST(FragmentRebuildBounds, ContainersThatRunToTheEndAreAllCountedInBoundedTime) {
    struct Case {
        std::size_t fileBytes;
        std::uint32_t unit;
    } cases[] = {{256 * 1024, 512}, {1024 * 1024, 4096}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileBytes);
        CountingBuilder builder;
        SourceFile source(NestedSlideContainers(c.fileBytes));
        ASSERT_TRUE(source.IsOpen());
        CPictureCarver pictures;
        DocumentScanState scan;
        const CancelToken going;
        const auto started = Clock::now();
        EXPECT_TRUE(RebuildFromFragments({source.File(), source.Path(), pictures, scan, going}, c.unit, "unused.ppt",
                                         PlanSourceSlides(source.Path(), source.File())));
        const auto seconds = std::chrono::duration<double>(Clock::now() - started).count();
        EXPECT_LT(seconds, 10.0);
        EXPECT_EQ(scan.nSlideContainers, c.fileBytes / 8);
    }
}

TEST(FragmentRebuildBounds, ACancelEndsTheWalksAtOnce) {
    struct Case {
        std::size_t fileBytes;
        std::uint32_t unit;
    } cases[] = {{256 * 1024, 512}, {256 * 1024, 4096}};  // several groups; one group
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileBytes);
        CountingBuilder builder;
        SourceFile source(NestedSlideContainers(c.fileBytes));
        ASSERT_TRUE(source.IsOpen());
        CPictureCarver pictures;
        DocumentScanState scan;
        CancelToken token;
        std::thread cancel([&token] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            token.Cancel();
        });
        // The result depends on whether a group was left to read; the job sees
        // the cancel either way. What counts is that the call comes back.
        const auto started = Clock::now();
        RebuildFromFragments({source.File(), source.Path(), pictures, scan, token}, c.unit, "unused.ppt",
                             PlanSourceSlides(source.Path(), source.File()));
        const auto seconds = std::chrono::duration<double>(Clock::now() - started).count();
        cancel.join();
        EXPECT_LT(seconds, 5.0);
    }
}

}  // namespace

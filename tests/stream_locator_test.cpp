// The locator's walk of the allocation tables on small constructed compound files.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "repair/io/job_control.h"
#include "repair/ppt/stream_locator.h"
#include "support/compound_builder.h"
#include "support/source_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A DocumentContainer header followed by a marker byte per sector.
Bytes DocumentStart() { return {0x0F, 0x00, 0xE8, 0x03, 0x10, 0x00, 0x00, 0x00}; }

std::vector<std::uint32_t> Range(std::uint32_t first, std::uint32_t last) {
    std::vector<std::uint32_t> v(last - first + 1);
    std::iota(v.begin(), v.end(), first);
    return v;
}

// Each sector k starts with its number, so the image shows which sectors it holds.
void MarkSectors(CompoundBuilder& b, std::uint32_t first, std::uint32_t last) {
    for (std::uint32_t k = first; k <= last; ++k)
        b.Put(k, {0xAA, static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8), 0xAA});
}

// The walk stops when a repair is cancelled; these tests run as a live repair.
class StreamLocator : public ::testing::Test {
protected:
    CancelToken m_cancel;
};

struct LocatorCase {
    const char* what;
    std::uint16_t shift;
    std::uint32_t sectors;
    std::uint32_t first, last;        // the document chain
    std::uint32_t nextFirst, nextLast;  // a chain listed after it (0, 0 for none)
    std::vector<std::uint32_t> blocks;
};

TEST_F(StreamLocator, ContiguousRunsGiveTheStreamAndOneSectorMore) {
    const LocatorCase cases[] = {
        {"a chain of 512-byte sectors", 9, 40, 3, 7, 0, 0, Range(4, 9)},
        {"a chain that the next chain continues", 9, 40, 3, 7, 8, 9, Range(4, 11)},
        {"4096-byte sectors past the first 128 FAT entries", 12, 220, 200, 203, 0, 0, Range(201, 205)},
    };
    for (const LocatorCase& c : cases) {
        SCOPED_TRACE(c.what);
        CompoundBuilder b(c.shift, c.sectors);
        b.AddFatSector(0);
        MarkSectors(b, 1, c.sectors - 1);
        b.Chain(c.first, c.last);
        b.Put(c.first, DocumentStart());
        if (c.nextLast)
            b.Chain(c.nextFirst, c.nextLast);
        SourceFile source(b.Build());
        ASSERT_TRUE(source.IsOpen());

        CStreamLocator locator;
        ASSERT_TRUE(locator.BuildRuns(source.File(), b.SectorSize(), m_cancel));
        EXPECT_EQ(locator.Blocks(), c.blocks);
        ASSERT_EQ(locator.m_nBlocks, c.blocks.size());

        // The image is sector after sector, each read at S x block.
        Bytes image(b.SectorSize() * (locator.m_nBlocks + 1), 0);
        ReadRuns(image.data(), locator);
        EXPECT_EQ(Bytes(image.begin(), image.begin() + 4), Bytes({0x0F, 0x00, 0xE8, 0x03}));
        for (std::size_t i = 1; i < c.blocks.size(); ++i) {
            const std::uint32_t sector = c.blocks[i] - 1;
            EXPECT_EQ(image[i * b.SectorSize() + 1], static_cast<std::uint8_t>(sector)) << i;
        }
        locator.Free();
        EXPECT_EQ(locator.m_nBlocks, 0u);
        EXPECT_TRUE(locator.Blocks().empty());
    }
}

// A stream stored in fragments: the run ends where the chain jumps, and the rest
// of the stream is the chain the FAT gives from there, ending exactly at its end.
TEST_F(StreamLocator, FragmentedStreamFollowsItsChain) {
    struct Case {
        const char* what;
        std::vector<std::uint32_t> chain;  // sectors of the stream, in order
        std::vector<std::uint32_t> blocks;
    } cases[] = {
        {"a jump backwards and on", {8, 9, 10, 3, 4, 11, 12}, {9, 10, 11, 4, 5, 12, 13}},
        {"a jump to sector 0", {8, 9, 0, 1, 12}, {9, 10, 1, 2, 13}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CompoundBuilder b(9, 40);
        b.AddFatSector(20);
        for (std::size_t i = 0; i + 1 < c.chain.size(); ++i)
            b.SetFat(c.chain[i], c.chain[i + 1]);
        b.SetFat(c.chain.back(), CompoundBuilder::kEnd);
        b.Put(c.chain[0], DocumentStart());
        SourceFile source(b.Build());
        CStreamLocator locator;
        ASSERT_TRUE(locator.BuildRuns(source.File(), 512, m_cancel));
        EXPECT_EQ(locator.Blocks(), c.blocks);
    }
    // A chain that loops back ends at the first sector met again.
    CompoundBuilder b(9, 40);
    b.AddFatSector(20);
    b.SetFat(8, 9);
    b.SetFat(9, 12);
    b.SetFat(12, 13);
    b.SetFat(13, 9);
    b.Put(8, DocumentStart());
    SourceFile source(b.Build());
    CStreamLocator locator;
    ASSERT_TRUE(locator.BuildRuns(source.File(), 512, m_cancel));
    EXPECT_EQ(locator.Blocks(), (std::vector<std::uint32_t>{9, 10, 13, 14}));
}

TEST_F(StreamLocator, RefusedHeadersAndFilesWithoutARun) {
    struct Case {
        const char* what;
        std::uint16_t minor;
        bool documentHeader;
        bool built;
    } cases[] = {
        {"minor version 0x3B is accepted", 0x3B, true, true},
        {"another minor version is refused", 0x3C, true, false},
        {"no sector starts with a DocumentContainer", 0x3E, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CompoundBuilder b(9, 20);
        b.SetMinorVersion(c.minor);
        b.AddFatSector(0);
        b.Chain(3, 6);
        if (c.documentHeader)
            b.Put(3, DocumentStart());
        SourceFile source(b.Build());
        CStreamLocator locator;
        EXPECT_EQ(locator.BuildRuns(source.File(), 512, m_cancel), c.built ? TRUE : FALSE);
        EXPECT_EQ(locator.m_nBlocks, c.built && c.documentHeader ? 5u : 0u);
    }
    // A sector shift other than 9 or 12 is refused.
    CompoundBuilder b(9, 20);
    Bytes file = b.Build();
    file[30] = 10;
    SourceFile source(file);
    CStreamLocator locator;
    EXPECT_FALSE(locator.BuildRuns(source.File(), 512, m_cancel));
}

// A DIFAT chain that points back at itself is read once.
TEST_F(StreamLocator, DifatLoopEnds) {
    CompoundBuilder b(9, 300);
    b.AddFatSector(0);
    b.Chain(3, 6);
    b.Put(3, DocumentStart());
    Bytes file = b.Build();
    PutLe32(&file[68], 10);          // first DIFAT sector
    PutLe32(&file[72], 0x7FFFFFFF);  // an absurd count
    for (std::size_t i = 0; i < 109; ++i)
        PutLe32(&file[76 + 4 * i], 0);  // a full header array: FAT sector 0 each time
    const std::size_t difat = 512 * 11;
    for (std::size_t i = 0; i < 127; ++i)
        PutLe32(&file[difat + 4 * i], 0);  // FAT sector 0 again
    PutLe32(&file[difat + 508], 10);     // next: itself
    SourceFile source(file);
    CStreamLocator locator;
    EXPECT_TRUE(locator.BuildRuns(source.File(), 512, m_cancel));
    EXPECT_EQ(locator.FatSectors().size(), 109u + 127u);
}

}  // namespace

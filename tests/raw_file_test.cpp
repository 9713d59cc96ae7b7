// Raw file access: block positions, reads at and past the end, read-only opens,
// and the bounded readers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/message_box.h"
#include "repair/io/mapped_file.h"
#include "repair/io/raw_file.h"
#include "repair/io/read_value.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

TEST(ByteView, OverrunsAreNotFound) {
    const std::uint8_t bytes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    CByteView v(bytes, sizeof bytes);
    EXPECT_EQ(v.Le16(7), 0x0908);
    EXPECT_FALSE(v.Le16(8));
    EXPECT_EQ(v.Le32(5), 0x09080706u);
    EXPECT_FALSE(v.Le32(6));
    EXPECT_EQ(v.Le64(1), 0x0908070605040302ull);
    EXPECT_FALSE(v.Le64(2));
    EXPECT_FALSE(v.Le32(SIZE_MAX - 1));
    EXPECT_FALSE(v.Sub(4, SIZE_MAX));
    EXPECT_TRUE(v.Sub(9, 0));
    EXPECT_FALSE(v.Sub(10, 0));
}

TEST(ByteReader, ReadsInsideTheViewAndStaysNotOkOnceOutside) {
    // A DocumentContainer header, then a byte.
    const std::uint8_t bytes[] = {0x0F, 0x00, 0xE8, 0x03, 0x00, 0x00, 0xF6, 0x0F, 0x09};
    using Steps = std::uint64_t (*)(CByteReader&);  // the last value read
    struct Case {
        const char* what;
        Steps steps;
        std::uint64_t value;
        bool ok;
        std::size_t offset, left;
    } cases[] = {
        {"signature", [](CByteReader& r) -> std::uint64_t { return r.Be32(); }, 0x0F00E803, true, 4, 5},
        {"little-endian 32", [](CByteReader& r) -> std::uint64_t { return r.Le32(); }, 0x03E8000F, true, 4, 5},
        {"16 then 16", [](CByteReader& r) -> std::uint64_t { r.Le16(); return r.Le16(); }, 0x03E8, true, 4, 5},
        {"64 from 1", [](CByteReader& r) -> std::uint64_t { r.U8(); return r.Le64(); }, 0x090FF6000003E800, true, 9, 0},
        {"16 ending at the exact end", [](CByteReader& r) -> std::uint64_t { r.Seek(7); return r.Le16(); }, 0x090F, true, 9, 0},
        {"32 one byte over the end", [](CByteReader& r) -> std::uint64_t { r.Seek(6); return r.Le32(); }, 0, false, 6, 0},
        {"8 at the end", [](CByteReader& r) -> std::uint64_t { r.Seek(9); return r.U8(); }, 0, false, 9, 0},
        {"a read that fits after one that did not",
         [](CByteReader& r) -> std::uint64_t { r.Seek(6); r.Le32(); r.Seek(0); return r.U8(); }, 0, false, 6, 0},
        {"seek past the end", [](CByteReader& r) -> std::uint64_t { r.Seek(10); return r.U8(); }, 0, false, 0, 0},
        {"skip to the end, then one more", [](CByteReader& r) -> std::uint64_t { r.Skip(9); return r.Skip(1); }, 0, false, 9, 0},
        {"skip near SIZE_MAX", [](CByteReader& r) -> std::uint64_t { r.Skip(1); return r.Skip(SIZE_MAX); }, 0, false, 1, 0},
        {"seek to UINT64_MAX", [](CByteReader& r) -> std::uint64_t { return r.Seek(UINT64_MAX); }, 0, false, 0, 0},
        {"bytes of the rest", [](CByteReader& r) -> std::uint64_t { r.U8(); return r.Bytes(8).data()[7]; }, 0x09, true, 9, 0},
        {"bytes near SIZE_MAX", [](CByteReader& r) -> std::uint64_t { r.U8(); return r.Bytes(SIZE_MAX - 1).size(); }, 0, false, 1, 0},
        {"no bytes at the end", [](CByteReader& r) -> std::uint64_t { r.Skip(9); return r.Bytes(0).size(); }, 0, true, 9, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CByteReader reader(bytes, sizeof bytes);
        EXPECT_EQ(c.steps(reader), c.value);
        EXPECT_EQ(reader.Ok(), c.ok);
        EXPECT_EQ(reader.Offset(), c.offset);
        EXPECT_EQ(reader.Left(), c.left);
    }
    // A reader placed outside its view starts not ok.
    EXPECT_FALSE(CByteReader(CByteView(bytes, sizeof bytes), 10).Ok());
}

TEST(RawFile, OpensReadOnlyAndReadsBlocks) {
    TempDir dir;
    testzip::Bytes content(4096);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<std::uint8_t>(i / 512);
    testzip::WriteFile(dir / "source.ppt", content);
    // The damaged file may sit on read-only media: no write access is needed.
    ::chmod((dir / "source.ppt").c_str(), 0444);

    CRawFile file;
    ASSERT_TRUE(file.Open(dir / "source.ppt"));
    EXPECT_EQ(file.m_nFileSize, 4096u);
    EXPECT_EQ(file.m_nBlockSize, 512u);
    std::uint8_t block[512];
    ASSERT_TRUE(file.ReadBlocks(block, sizeof block, 3, TRUE));
    EXPECT_EQ(block[0], 3);  // block 3 starts at byte 1536
    EXPECT_EQ(block[511], 3);

    // Past the end the read still succeeds; the caller's zeros stay.
    std::uint8_t tail[1024] = {};
    ASSERT_TRUE(file.ReadBlocks(tail, sizeof tail, 7, TRUE));
    EXPECT_EQ(tail[0], 7);
    EXPECT_EQ(tail[600], 0);
    // A block number whose position does not fit 64 bits cannot be read.
    EXPECT_FALSE(file.ReadBlocks(block, sizeof block, 1ull << 60, TRUE));
    file.Close();
    EXPECT_FALSE(file.IsOpen());
}

TEST(RawFile, EmptyAndMissingFiles) {
    TempDir dir;
    testzip::WriteFile(dir / "empty.ppt", {});
    CRawFile file;
    EXPECT_TRUE(file.Open(dir / "empty.ppt"));
    EXPECT_EQ(file.m_nFileSize, 0u);
    EXPECT_EQ(file.m_nBlockSize, 512u);
    file.Close();
    EXPECT_FALSE(file.Open(dir / "missing.ppt"));
    EXPECT_FALSE(file.Open(""));
}

// A read error is kept for the repair to report; nothing is shown from here.
TEST(RawFile, ReadErrorsAreKeptUntilTheNextOpen) {
    TempDir dir;
    std::vector<MessageBoxRequest> boxes;
    SetMessageBoxHandler([&](const MessageBoxRequest& box) {
        boxes.push_back(box);
        return IDOK;
    });
    testzip::WriteFile(dir / "deck.ppt", testzip::Bytes(1024, 0));
    CRawFile file;
    ASSERT_TRUE(file.Open(dir.path()));  // a folder opens, but cannot be read
    std::uint8_t block[512];
    EXPECT_FALSE(file.ReadBlocks(block, sizeof block, 0, TRUE));
    EXPECT_EQ(file.ReadError(), EISDIR);
    file.Close();
    ASSERT_TRUE(file.Open(dir / "deck.ppt"));
    EXPECT_EQ(file.ReadError(), 0);
    EXPECT_TRUE(file.ReadBlocks(block, sizeof block, 0, TRUE));
    SetMessageBoxHandler({});
    EXPECT_TRUE(boxes.empty());
}

TEST(RawFile, WritesBlocksOfFilesTheProgramOwns) {
    TempDir dir;
    testzip::WriteFile(dir / "out.bin", testzip::Bytes(1024, 0));
    CRawFile file;
    ASSERT_TRUE(file.Open(dir / "out.bin", FileAccess::ReadWrite));
    const std::uint8_t mark[4] = {'D', 'E', 'C', 'K'};
    EXPECT_TRUE(file.WriteBlocks(mark, 4, 1, TRUE));
    file.Close();
    EXPECT_EQ(testzip::ReadFile(dir / "out.bin")[512], 'D');
}

TEST(MappedFile, MapsAndUnmaps) {
    TempDir dir;
    testzip::WriteFile(dir / "deck.pptx", testzip::Bytes{'P', 'K', 3, 4, 9});
    testzip::WriteFile(dir / "empty.pptx", {});
    CMappedFile mapped;
    mapped.SetPath(dir / "deck.pptx");
    ASSERT_EQ(mapped.Map(nullptr), 0);
    EXPECT_EQ(mapped.Size(), 5u);
    EXPECT_EQ(mapped.View()[4], 9);
    EXPECT_EQ(mapped.Unmap(), 0);
    EXPECT_EQ(mapped.Map((dir / "missing").c_str()), 1);
    EXPECT_EQ(mapped.Map((dir / "empty.pptx").c_str()), 2);
    EXPECT_EQ(mapped.Unmap(), 0);
}

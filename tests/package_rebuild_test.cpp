// The package rebuild over small constructed ZIPs: one table of damaged packages
// with the exact entries that must come back, then the cases with records of their own.
#include <functional>
#include <gtest/gtest.h>

#include "repair/io/read_value.h"
#include "repair/pptx/package_rebuild.h"
#include "support/package_job.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

using testzip::Builder;
using testzip::Bytes;
using testzip::Entry;

namespace {

constexpr std::size_t kBlock = 333333;

const Entry kContentTypes{"[Content_Types].xml", std::string(300, 'c')};
const Entry kRels{"_rels/.rels", std::string(200, 'r')};
const Entry kSlide{"ppt/slides/slide1.xml", std::string(700, 's')};

struct Rebuilt {
    BOOL result = FALSE;
    Bytes bytes;
    std::optional<testzip::Directory> dir;
};

Rebuilt Rebuild(const Bytes& source) {
    TempDir dir;
    testzip::WriteFile(dir / "tempDoc.zip", source);
    TestPackageJob job;
    Rebuilt r;
    r.result = RebuildPackageFile(job.Job(), dir / "tempDoc.zip", dir / "tempRecDoc.pptx");
    r.bytes = testzip::ReadFile(dir / "tempRecDoc.pptx");
    r.dir = testzip::ReadDirectory(r.bytes);
    return r;
}

// Every rebuilt package: the end record last, each record agreeing with its local
// header, CRCs right, and the entries back to back from offset 0.
void ExpectSoundPackage(const Rebuilt& r) {
    ASSERT_TRUE(r.dir) << "directory cannot be read";
    EXPECT_TRUE(r.dir->endRecordLast);
    std::uint64_t expectedOffset = 0;
    for (const auto& e : r.dir->entries) {
        SCOPED_TRACE(e.name);
        EXPECT_TRUE(e.localMatches);
        EXPECT_EQ(e.offset, expectedOffset);
        EXPECT_EQ(e.data.size(), e.compressedSize);
        if (e.method == 0) {
            EXPECT_EQ(testzip::Crc32(e.data), e.crc);
        }
        expectedOffset = e.offset + 30 + e.name.size() + (e.data.size()) + 0;
        // The local extra field length, read from the output.
        CByteView out(r.bytes.data(), r.bytes.size());
        expectedOffset += *out.Le16(e.offset + 28);
    }
}

std::vector<std::string> Names(const Rebuilt& r) {
    std::vector<std::string> names;
    if (r.dir)
        for (const auto& e : r.dir->entries)
            names.push_back(e.name);
    return names;
}

Entry Padded(const std::string& name, std::size_t size) { return {name, std::string(size, 'p')}; }

struct Case {
    const char* what;
    std::function<void(Builder&)> build;
    BOOL result;
    std::vector<std::string> names;
};

const Case kCases[] = {
    {"a sound package round-trips",
     [](Builder& b) { b.Add(kContentTypes); b.Add(kRels); b.Add(kSlide); b.Finish(); },
     TRUE, {"[Content_Types].xml", "_rels/.rels", "ppt/slides/slide1.xml"}},
    {"garbage between entries is dropped",
     [](Builder& b) { b.Add(kContentTypes); b.Garbage(std::string(1024, 'x')); b.Add(kRels);
                      b.Garbage("PK"); b.Add(kSlide); b.Finish(); },
     TRUE, {"[Content_Types].xml", "_rels/.rels", "ppt/slides/slide1.xml"}},
    {"a junk prefix and no directory",
     [](Builder& b) { b.Garbage(std::string(4096, 'j')); b.Add(kContentTypes); b.Add(kRels); b.Add(kSlide); },
     TRUE, {"[Content_Types].xml", "_rels/.rels", "ppt/slides/slide1.xml"}},
    {"an empty name is rejected and the scan resumes right after its signature",
     [](Builder& b) {
         b.Add(kContentTypes);
         // A nameless header claiming 900 bytes of data, which hold a real entry.
         Entry nameless("", "");
         nameless.compressedSizeOverride = 900;
         b.Add(nameless);
         b.Add(kRels);
         b.Add(kSlide);
         b.Finish(); },
     TRUE, {"[Content_Types].xml", "_rels/.rels", "ppt/slides/slide1.xml"}},
    {"an entry running past the end is rejected and the scan resumes inside it",
     [](Builder& b) {
         b.Add(kContentTypes);
         Entry huge("ppt/huge.bin", "");
         huge.compressedSizeOverride = 0x7FFFFFF0;
         b.Add(huge);
         b.Add(kRels);
         b.Add(kSlide); },
     TRUE, {"[Content_Types].xml", "_rels/.rels", "ppt/slides/slide1.xml"}},
    {"a header straddling the block end is found",
     [](Builder& b) {
         b.Add(kContentTypes);
         b.Garbage(std::string(kBlock - 12 - b.size(), 'g'));
         b.Add(kRels);
         b.Add(kSlide);
         b.Finish(); },
     TRUE, {"[Content_Types].xml", "_rels/.rels", "ppt/slides/slide1.xml"}},
    {"an entry larger than a block is copied whole",
     [](Builder& b) { b.Add(kContentTypes); b.Add(Padded("ppt/media/image1.png", 3 * kBlock + 17)); b.Add(kSlide); b.Finish(); },
     TRUE, {"[Content_Types].xml", "ppt/media/image1.png", "ppt/slides/slide1.xml"}},
    {"an old directory header of a stored entry ends the scan",
     [](Builder& b) {
         b.Add(kContentTypes);
         b.Add(kRels);
         b.Raw(std::string("PK\1\2") + std::string(6, '\0') + std::string(2, '\0') + std::string(40, 'z'));
         b.Add(kSlide); },
     TRUE, {"[Content_Types].xml", "_rels/.rels"}},
    {"an old directory header of a deflated entry is stepped over",
     [](Builder& b) {
         b.Add(kContentTypes);
         b.Add(kRels);
         b.Raw(std::string("PK\1\2") + std::string(6, '\0') + std::string("\x08\0", 2) + std::string(40, 'z'));
         b.Add(kSlide); },
     TRUE, {"[Content_Types].xml", "_rels/.rels", "ppt/slides/slide1.xml"}},
    {"a second part of the same name is not taken",
     [](Builder& b) { b.Add(kContentTypes); b.Add(kRels); b.Add(Entry("[content_types].XML", "inner")); b.Add(kSlide); },
     TRUE, {"[Content_Types].xml", "_rels/.rels", "ppt/slides/slide1.xml"}},
    {"no acceptable entry gives no package",
     [](Builder& b) { b.Raw("PK\3\4 this is not a package at all"); b.Garbage(std::string(2000, 'n')); },
     FALSE, {}},
    {"an output under 512 bytes is refused",
     [](Builder& b) { b.Add(Entry("a.xml", "tiny")); b.Finish(); },
     FALSE, {"a.xml"}},
};

}  // namespace

TEST(PackageRebuild, TableOfDamagedPackages) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        Builder b;
        c.build(b);
        Rebuilt r = Rebuild(b.bytes());
        EXPECT_EQ(r.result, c.result);
        ExpectSoundPackage(r);
        EXPECT_EQ(Names(r), c.names);
    }
}

TEST(PackageRebuild, EntriesComeBackUnchanged) {
    Builder b;
    b.Add(kContentTypes);
    b.Garbage(std::string(5000, 'x'));
    b.Add(Padded("ppt/media/image1.png", kBlock + 5));
    b.Add(kSlide);
    Rebuilt r = Rebuild(b.bytes());
    ASSERT_TRUE(r.dir);
    ASSERT_EQ(r.dir->entries.size(), 3u);
    EXPECT_EQ(r.dir->entries[0].data, kContentTypes.data);
    EXPECT_EQ(r.dir->entries[1].data, std::string(kBlock + 5, 'p'));
    EXPECT_EQ(r.dir->entries[2].data, kSlide.data);
    // Garbage is gone: the entries follow one another from the start.
    EXPECT_EQ(r.dir->entries[1].offset, 30 + kContentTypes.name.size() + kContentTypes.data.size());
}

TEST(PackageRebuild, StreamingEntryTakesItsDescriptor) {
    Builder b;
    b.Add(kContentTypes);
    Entry streamed{"ppt/slides/slide2.xml", std::string(800, 'q')};
    streamed.streaming = true;
    b.Add(streamed);
    // A descriptor whose block boundary falls inside the data.
    Entry large{"ppt/media/big.bin", std::string(kBlock, 'b')};
    large.streaming = true;
    b.Add(large);
    b.Add(kSlide);
    b.Finish();
    Rebuilt r = Rebuild(b.bytes());
    ExpectSoundPackage(r);
    ASSERT_EQ(Names(r), (std::vector<std::string>{kContentTypes.name, streamed.name, large.name, kSlide.name}));
    for (int i : {1, 2}) {
        const auto& e = r.dir->entries[i];
        const Entry& in = i == 1 ? streamed : large;
        EXPECT_EQ(e.crc, testzip::Crc32(in.data));
        EXPECT_EQ(e.compressedSize, in.data.size());
        EXPECT_EQ(e.uncompressedSize, in.data.size());
        EXPECT_EQ(e.data, in.data);
        // No descriptor follows the copy, so none is announced.
        EXPECT_EQ(e.flags & 0x0008, 0);
    }
}

TEST(PackageRebuild, FalseDescriptorInsideDataIsNotTaken) {
    auto le32 = [](std::uint32_t v) {
        std::string out;
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>(v >> (8 * i));
        return out;
    };
    const std::string head(100, 'd');
    const std::vector<std::pair<const char*, std::string>> falseDescriptors = {
        {"sizes that do not reach back to the data start", "PK\7\x08" + std::string(12, '\x01')},
        // Right sizes, but not the CRC of the bytes before it: a stored entry's
        // descriptor must give both.
        {"right sizes and a wrong CRC", "PK\7\x08" + le32(testzip::Crc32(head) ^ 1) + le32(100) + le32(100)},
    };
    for (const auto& [what, descriptor] : falseDescriptors) {
        SCOPED_TRACE(what);
        Builder b;
        b.Add(kContentTypes);
        const std::string data = head + descriptor + std::string(300, 'e');
        Entry streamed{"ppt/slides/slide2.xml", data};
        streamed.streaming = true;
        b.Add(streamed);
        b.Add(kSlide);
        Rebuilt r = Rebuild(b.bytes());
        ExpectSoundPackage(r);
        ASSERT_EQ(r.dir->entries.size(), 3u);
        EXPECT_EQ(r.dir->entries[1].data, data);
        EXPECT_EQ(r.dir->entries[1].crc, testzip::Crc32(data));
    }
}

TEST(PackageRebuild, SmallZip64PackageComesBackPlain) {
    Builder b;
    for (const Entry* e : {&kContentTypes, &kRels, &kSlide}) {
        Entry z = *e;
        z.zip64Form = true;
        z.extra = std::string("\x0a\x00\x04\x00zzzz", 8);  // another extra field that must stay
        b.Add(z);
    }
    Entry streamed{"ppt/slides/slide2.xml", std::string(600, 'w')};
    streamed.zip64Form = true;
    streamed.streaming = true;
    streamed.extra = std::string("\x0a\x00\x04\x00zzzz", 8);
    b.Add(streamed);
    Rebuilt r = Rebuild(b.bytes());
    ExpectSoundPackage(r);
    ASSERT_EQ(r.dir->entries.size(), 4u);
    EXPECT_FALSE(r.dir->zip64End);
    for (const auto& e : r.dir->entries) {
        SCOPED_TRACE(e.name);
        EXPECT_FALSE(e.localHasZip64);
        EXPECT_EQ(e.extra, Bytes({0x0a, 0x00, 0x04, 0x00, 'z', 'z', 'z', 'z'}));
        EXPECT_EQ(e.crc, testzip::Crc32(e.data));
    }
    EXPECT_EQ(r.dir->entries[3].data, streamed.data);
}

TEST(PackageRebuild, EntryThatNeedsZip64KeepsIt) {
    Builder b;
    b.Add(kContentTypes);
    Entry big{"ppt/embeddings/big.bin", std::string(600, 'k')};
    big.method = 8;  // a deflated entry that declares 5 GiB once inflated
    big.zip64Form = true;
    big.uncompressedSize64 = 5ull << 30;
    b.Add(big);
    Rebuilt r = Rebuild(b.bytes());
    ExpectSoundPackage(r);
    ASSERT_EQ(r.dir->entries.size(), 2u);
    const auto& e = r.dir->entries[1];
    EXPECT_TRUE(e.localHasZip64);
    EXPECT_EQ(e.uncompressedSize, 5ull << 30);
    EXPECT_EQ(e.compressedSize, 600u);
    // An NTFS field with zero times, then the ZIP64 uncompressed size.
    ASSERT_EQ(e.extraLength, 48);
    EXPECT_EQ(e.extra[0], 0x0A);
    EXPECT_EQ(Bytes(e.extra.begin() + 12, e.extra.begin() + 36), Bytes(24, 0));
}

TEST(PackageRebuild, ManyEntriesGetZip64EndRecords) {
    Builder b;
    constexpr int kCount = 65536;
    for (int i = 0; i < kCount; ++i)
        b.Add(Entry("e" + std::to_string(i), "x"));
    Rebuilt r = Rebuild(b.bytes());
    ASSERT_TRUE(r.dir);
    EXPECT_TRUE(r.dir->zip64End);
    EXPECT_EQ(r.dir->countField, 0xFFFF);
    EXPECT_EQ(r.dir->zip64Count, static_cast<std::uint64_t>(kCount));
    ASSERT_EQ(r.dir->entries.size(), static_cast<std::size_t>(kCount));
    EXPECT_EQ(r.dir->entries.back().name, "e65535");
    EXPECT_TRUE(r.dir->entries.back().localMatches);
}

TEST(PackageRebuild, CancelDeletesTheOutput) {
    Builder b;
    b.Add(kContentTypes);
    b.Add(kSlide);
    TempDir dir;
    testzip::WriteFile(dir / "tempDoc.zip", b.bytes());
    TestPackageJob job;
    job.cancel.Cancel();
    EXPECT_FALSE(RebuildPackageFile(job.Job(), dir / "tempDoc.zip", dir / "tempRecDoc.pptx"));
    EXPECT_FALSE(std::filesystem::exists(dir / "tempRecDoc.pptx"));
}

TEST(PackageRebuild, SecondRunGivesTheSameOutput) {
    Builder b;
    b.Add(kContentTypes);
    b.Garbage("garbage");
    b.Add(kRels);
    b.Add(kSlide);
    EXPECT_EQ(Rebuild(b.bytes()).bytes, Rebuild(b.bytes()).bytes);
}

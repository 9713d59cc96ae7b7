// New compound files as two independent readers read them back: libgsf, and
// the strict reader that checks every sector chain against the file.
#include "platform/ole_file_manager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "repair/ppt/compound_file.h"
#include "support/compound_directory.h"
#include "support/ole_reader.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i)
        b[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 251);
    return b;
}

void ExpectStream(const std::string& path, const std::string& name, const Bytes& expected) {
    SCOPED_TRACE(name);
    const auto gsf = ReadOleStream(path, name);
    ASSERT_TRUE(gsf.has_value());
    EXPECT_EQ(*gsf, expected);
    const auto strict = ReadCompoundStream(path, name);
    ASSERT_TRUE(strict.has_value());
    EXPECT_EQ(*strict, expected);
}

}  // namespace

// Streams below the 4096-byte cutoff live in the mini stream, the others in
// sectors of their own; both sides of the cutoff and the empty stream.
TEST(OleFileManager, StreamsOfEverySizeReadBackWhole) {
    const std::size_t sizes[] = {0, 1, 63, 64, 65, 4095, 4096, 4097, 100000};
    TempDir dir;
    const std::string path = dir / "sizes.ppt";
    COleFileManager ole;
    ASSERT_TRUE(ole.CreateDocfile(path));
    EXPECT_EQ(ole.m_strPath, path);
    std::uint8_t seed = 1;
    for (std::size_t size : sizes) {
        const Bytes data = Pattern(size, seed++);
        ASSERT_TRUE(ole.WriteStream(ole.GetStorage(), "S" + std::to_string(size), data.data(),
                                    static_cast<std::uint32_t>(size)));
    }
    ASSERT_TRUE(ole.Close());
    EXPECT_EQ(ole.GetStorage(), nullptr);

    seed = 1;
    for (std::size_t size : sizes)
        ExpectStream(path, "S" + std::to_string(size), Pattern(size, seed++));
    // Also each size as the only stream of its file.
    seed = 1;
    for (std::size_t size : sizes) {
        const Bytes data = Pattern(size, seed++);
        const std::string single = dir / ("single" + std::to_string(size) + ".ppt");
        ASSERT_TRUE(ole.CreateDocfile(single));
        ASSERT_TRUE(ole.WriteStream(ole.GetStorage(), "Only", data.data(), static_cast<std::uint32_t>(size)));
        ASSERT_TRUE(ole.Close());
        ExpectStream(single, "Only", data);
    }
}

TEST(OleFileManager, DirectoryEntriesFollowTheWriteOrder) {
    TempDir dir;
    const std::string path = dir / "order.ppt";
    const Bytes big = Pattern(5000, 3);
    COleFileManager ole;
    ASSERT_TRUE(ole.CreateDocfile(path));
    for (const char* name : {"Zeta", "Alpha", "Mid"})
        ASSERT_TRUE(ole.WriteStream(ole.GetStorage(), name, big.data(), 5000));
    ASSERT_TRUE(ole.Close());
    const auto entries = ReadDirectory(path);
    ASSERT_GE(entries.size(), 4u);
    EXPECT_EQ(entries[0].type, 5);
    EXPECT_EQ(entries[1].name, "Zeta");
    EXPECT_EQ(entries[2].name, "Alpha");
    EXPECT_EQ(entries[3].name, "Mid");
    // Data written first lies first.
    EXPECT_LT(entries[1].start, entries[2].start);
    EXPECT_LT(entries[2].start, entries[3].start);
}

TEST(OleFileManager, CreateEmptiesAnExistingFile) {
    TempDir dir;
    const std::string path = dir / "old.ppt";
    std::ofstream(path, std::ios::binary) << std::string(20000, 'x');
    const Bytes data = Pattern(10, 9);
    {
        COleFileManager ole;
        ASSERT_TRUE(ole.CreateDocfile(path));
        ASSERT_TRUE(ole.WriteStream(ole.GetStorage(), "New", data.data(), 10));
    }  // closed by the destructor
    ExpectStream(path, "New", data);
    EXPECT_LT(std::filesystem::file_size(path), 20000u);
}

TEST(OleFileManager, RefusalsWriteNothing) {
    TempDir dir;
    COleFileManager ole;
    EXPECT_FALSE(ole.CreateDocfile(dir / "missing/folder.ppt"));
    EXPECT_FALSE(ole.CreateDocfile(""));
    EXPECT_EQ(ole.GetStorage(), nullptr);
    const std::uint8_t byte = 1;
    EXPECT_FALSE(ole.WriteStream(nullptr, "S", &byte, 1));
    EXPECT_TRUE(ole.Close());  // nothing open

    ASSERT_TRUE(ole.CreateDocfile(dir / "a.ppt"));
    COleFileManager other;
    ASSERT_TRUE(other.CreateDocfile(dir / "b.ppt"));
    EXPECT_FALSE(ole.WriteStream(other.GetStorage(), "S", &byte, 1)) << "a storage of another file";
    EXPECT_FALSE(ole.WriteStream(ole.GetStorage(), "S", nullptr, 1));
    ASSERT_TRUE(ole.WriteStream(ole.GetStorage(), "Current User", &byte, 1));
    EXPECT_FALSE(ole.WriteStream(ole.GetStorage(), "CURRENT USER", &byte, 1)) << "names compare without case";
    EXPECT_TRUE(ole.Close());
    EXPECT_TRUE(other.Close());
    ExpectStream(dir / "a.ppt", "Current User", Bytes{1});
}

// The directory and tables are written at Close: a full disk shows there.
TEST(OleFileManager, CloseReportsAFileThatCouldNotBeCompleted) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    for (std::size_t size : {10u, 100000u}) {
        SCOPED_TRACE(size);
        const Bytes data = Pattern(size, 5);
        COleFileManager ole;
        ASSERT_TRUE(ole.CreateDocfile("/dev/full"));
        const BOOL written = ole.WriteStream(ole.GetStorage(), "S", data.data(), static_cast<std::uint32_t>(size));
        EXPECT_FALSE(written && ole.Close());
    }
}

// Real packages, damaged by the shared damage tool and repaired by deckmend-repair:
// the result must read cleanly in libzip and hold every entry of the original that
// the damage left whole, byte for byte: all of them where no data was cut off.
// The rebuilt package is taken as it is (--no-compare); the comparison with what
// the office shows of the damaged file has an end-to-end test of its own.
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

#include "repair/pptx/package_scaffold.h"
#include "support/libzip_reader.h"
#include "support/office_required.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/test_names.h"
#include "support/zip_builder.h"

namespace fs = std::filesystem;

namespace {

struct DamageKind {
    const char* name;
    bool keepsAllEntries;  // the damage leaves every entry whole: no office is needed to check the result
};

// A cut package is mended and checked in the office, a few seconds each: every
// fourth package of the corpus, chosen by its name, takes that damage here (the
// end-to-end test of packages measures the cut ones in full).
bool TakesCuts(const std::string& name) {
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : name)
        hash = (hash ^ c) * 16777619u;
    return hash % 4 == 0;
}

constexpr DamageKind kKinds[] = {
    {"cut-central-directory", true},
    {"garbage-between-entries", true},
    {"junk-prefix", true},
    {"truncate-90", false},
};

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(SharedPath(folder), ec))
        if (e.is_regular_file())
            files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string TestName(const testing::TestParamInfo<std::string>& info) { return TestNameOf(info.param); }

class PackageCorpus : public testing::TestWithParam<std::string> {};
class Zip64Variants : public testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(PackageCorpus, DamagedCopiesAreRepaired) {
    DECKMEND_REQUIRE_OFFICE();
    const std::string original = SharedPath("corpus/pptx/" + GetParam());
    ZipContents sound = ReadWithLibzip(original);
    if (!sound.ok || sound.entries.empty())
        GTEST_SKIP() << "not a sound package with entries: " << sound.error;

    TempDir dir;
    for (const DamageKind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        if (!kind.keepsAllEntries && !TakesCuts(GetParam()))
            continue;
        std::string damaged = dir / (std::string("damaged-") + kind.name + ".pptx");
        std::string repaired = dir / (std::string("repaired-") + kind.name + ".pptx");
        auto damage = RunProcess({"/usr/bin/env", "python3", SharedPath("tools/damage.py"), kind.name, "7",
                                  original, damaged});
        if (damage.exitCode == 1)
            continue;  // the kind does not apply to this package
        ASSERT_EQ(damage.exitCode, 0) << damage.err;

        auto run = RunProcess({BuildPath("deckmend-repair"), "--no-compare", damaged, repaired}, dir.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        ZipContents result = ReadWithLibzip(repaired);
        EXPECT_TRUE(result.ok) << result.error;
        // Every entry that the damage left whole comes back. Binary parts come back
        // unchanged; an XML part may come back mended (and then parses) where it
        // refers to a part that is not in the package (cut off, or missing from the
        // original already); a layout without its master goes, and relationships
        // whose part is gone go with it.
        auto layout = testzip::ReadDirectory(testzip::ReadFile(original));
        ASSERT_TRUE(layout);
        const std::uint64_t cut = kind.keepsAllEntries ? UINT64_MAX : fs::file_size(damaged);
        for (const auto& e : layout->entries) {
            if (e.end > cut)
                continue;  // (entries of a package embedded in a cut-off entry may come back too)
            auto it = result.entries.find(e.name);
            const bool xml = e.name.ends_with(".xml") || e.name.ends_with(".rels");
            if (it == result.entries.end()) {
                EXPECT_TRUE(e.name.find("slideLayouts/") != std::string::npos || e.name.ends_with(".rels"))
                    << "missing entry " << e.name;
                continue;
            }
            if (xml && it->second != sound.entries[e.name]) {
                EXPECT_TRUE(IsWellFormedXml(it->second)) << "mended entry does not parse: " << e.name;
                continue;
            }
            EXPECT_TRUE(it->second == sound.entries[e.name]) << "entry differs: " << e.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pptx, PackageCorpus, testing::ValuesIn(FilesIn("corpus/pptx")), TestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(PackageCorpus);

// Small packages re-zipped with ZIP64 headers, with their directory cut off: every
// entry comes back, and no ZIP64 record is left, since none is needed.
TEST_P(Zip64Variants, ComeBackWithoutZip64) {
    DECKMEND_REQUIRE_OFFICE();
    const std::string original = SharedPath("corpus/variants/pptx/" + GetParam());
    ZipContents sound = ReadWithLibzip(original);
    ASSERT_TRUE(sound.ok) << sound.error;
    TempDir dir;
    std::string damaged = dir / "damaged.pptx", repaired = dir / "repaired.pptx";
    auto damage = RunProcess({"/usr/bin/env", "python3", SharedPath("tools/damage.py"), "cut-central-directory",
                              "1", original, damaged});
    ASSERT_EQ(damage.exitCode, 0) << damage.err;
    auto run = RunProcess({BuildPath("deckmend-repair"), "--no-compare", damaged, repaired}, dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;

    ZipContents result = ReadWithLibzip(repaired);
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.entries == sound.entries);
    auto layout = testzip::ReadDirectory(testzip::ReadFile(repaired));
    ASSERT_TRUE(layout);
    EXPECT_FALSE(layout->zip64End);
    for (const auto& e : layout->entries) {
        EXPECT_FALSE(e.localHasZip64) << e.name;
        EXPECT_TRUE(e.localMatches) << e.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Pptx, Zip64Variants, testing::ValuesIn(FilesIn("corpus/variants/pptx")), TestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Zip64Variants);

// The repair job's endings, driven on its worker thread with the page's messages
// taken on this thread, as the wizard takes them.
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include "repair/job/messages.h"
#include "support/job_harness.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace {

testzip::Bytes SoundPackage() {
    testzip::Builder b;
    for (const auto& e : testzip::MinimalPresentation())
        b.Add(e);
    b.Finish();
    return b.bytes();
}

struct EndingCase {
    const char* what;
    const char* fileName;
    std::function<testzip::Bytes()> content;   // nothing: the file does not exist
    const char* key;
};

const EndingCase kEndings[] = {
    {"a missing file cannot be opened", "gone.pptx", nullptr, "IDS_WORD9"},
    {"512 bytes are too small", "small.pptx", [] { return testzip::Filled("PK\3\4", 512, 'x'); }, "IDS_WORD14"},
    {"a compound file under 2048 bytes is too small", "small.ppt",
     [] { return testzip::Filled("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 1500, '\0'); }, "IDS_WORD14"},
    {"a text file is of no known kind, whatever its name", "notes.pptx",
     [] { return testzip::Filled("These are my notes. ", 4000, 'n'); }, "IDS_WORD13"},
    {"a package with no acceptable entry", "empty.pptx", [] { return testzip::Filled("PK\3\4", 5000, '\0'); },
     "IDS_WORD13"},
};

// The progress the page saw, as percentages, never goes back.
void ExpectProgressNeverDecreases(const JobRecord& r) {
    int last = 0;
    for (const auto& m : r.messages) {
        if (m.to != "page" || m.message != WM_REPAIR_PROGRESS || m.lParam == 0)
            continue;
        int percent = static_cast<int>(static_cast<std::uint64_t>(m.wParam) * 100 / static_cast<std::uint64_t>(m.lParam));
        EXPECT_GE(percent, last);
        last = percent;
    }
    EXPECT_EQ(last, 100);
}

std::vector<std::string> Sequence(const JobRecord& r) {
    std::vector<std::string> seq;
    for (const auto& m : r.messages)
        if (m.message != WM_REPAIR_PROGRESS)
            seq.push_back(m.to + ":" + std::to_string(m.message));
    return seq;
}

}  // namespace

TEST(RepairJob, EveryFailureEndsWithItsMessage) {
    for (const EndingCase& c : kEndings) {
        SCOPED_TRACE(c.what);
        TempDir dir, temp;
        std::string source = dir / c.fileName;
        if (c.content)
            testzip::WriteFile(source, c.content());
        JobRecord r = RunJob(source, temp.path());
        ASSERT_EQ(r.boxes.size(), 1u);
        EXPECT_EQ(r.boxes[0], Text(c.key));
        EXPECT_EQ(r.boxCaption, Text("IDS_INFORMATION"));
        EXPECT_TRUE(r.Failed());
        // The animation stops, the page hears the end, then the frame goes back.
        EXPECT_EQ(Sequence(r), (std::vector<std::string>{"animation:" + std::to_string(ACM_STOP),
                                                         "page:" + std::to_string(WM_DESTROY),
                                                         "frame:" + std::to_string(WM_COMMAND)}));
        ExpectProgressNeverDecreases(r);
    }
}

TEST(RepairJob, SoundPackageEndsOnTheSavePageWithAWorkingCopy) {
    TempDir dir, temp;
    testzip::WriteFile(dir / "deck.pptx", SoundPackage());
    JobRecord r = RunJob(dir / "deck.pptx", temp.path());
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_FALSE(r.Failed());
    EXPECT_EQ(Sequence(r), (std::vector<std::string>{"animation:" + std::to_string(ACM_STOP),
                                                     "page:" + std::to_string(WM_DESTROY)}));
    ExpectProgressNeverDecreases(r);
    auto rebuilt = testzip::ReadDirectory(testzip::ReadFile(temp / "tempRecDoc.pptx"));
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(rebuilt->entries.size(), testzip::MinimalPresentation().size());
}

TEST(RepairJob, PackageBehindAJunkPrefixIsRepaired) {
    TempDir dir, temp;
    testzip::Bytes bytes = testzip::Filled("junk", 4096, 'j');
    testzip::Bytes package = SoundPackage();
    bytes.insert(bytes.end(), package.begin(), package.end());
    testzip::WriteFile(dir / "deck.pptx", bytes);
    JobRecord r = RunJob(dir / "deck.pptx", temp.path());
    EXPECT_FALSE(r.Failed());
    EXPECT_TRUE(std::filesystem::exists(temp / "tempRecDoc.pptx"));
}

TEST(RepairJob, StaleWorkingFilesAreDeletedAtTheStart) {
    TempDir dir, temp;
    for (const char* name : {"tempRecDoc.pptx", "__122oweke.pptx", "__working.ppt", "__working.pps"})
        testzip::WriteFile(temp / name, testzip::Bytes(10, 's'));
    testzip::WriteFile(dir / "notes.pptx", testzip::Filled("text", 4000, 't'));
    RunJob(dir / "notes.pptx", temp.path());
    for (const char* name : {"tempRecDoc.pptx", "__122oweke.pptx", "__working.ppt", "__working.pps"})
        EXPECT_FALSE(std::filesystem::exists(temp / name)) << name;
}

TEST(RepairJob, CancelEndsWithTheCancelMessageWhateverTheStep) {
    TempDir dir, temp;
    testzip::WriteFile(dir / "deck.pptx", SoundPackage());
    testzip::WriteFile(dir / "small.pptx", testzip::Filled("PK\3\4", 100, 'x'));
    for (const char* name : {"deck.pptx", "small.pptx", "gone.pptx"}) {
        SCOPED_TRACE(name);
        JobRecord r = RunJob(dir / name, temp.path(), true);
        ASSERT_EQ(r.boxes.size(), 1u);
        EXPECT_EQ(r.boxes[0], Text("IDS_WORD8"));
        EXPECT_TRUE(r.Failed());
    }
    EXPECT_FALSE(std::filesystem::exists(temp / "tempRecDoc.pptx"));
}

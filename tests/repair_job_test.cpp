// The repair job's graded results, without an office: every way a repair ends
// before the office would take over, with its exact outcome and reason.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <new>
#include <thread>

#include "platform/com_runtime.h"
#include "platform/folders.h"
#include "platform/ole_file_manager.h"
#include "support/job_harness.h"
#include "support/office_required.h"
#include "support/process.h"
#include "support/recording_server.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

// Allocations of this size or more fail on a thread that asks for it, so that
// the job meets the out-of-memory it must survive.
namespace {
thread_local std::size_t t_failFrom = 0;
// Called through a pointer, so that the compiler does not pair the inlined
// free with the allocations it sees.
void (*volatile g_release)(void*) = std::free;
}

void* operator new(std::size_t size) {
    if (t_failFrom != 0 && size >= t_failFrom)
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
// Every form that pairs with these deletes allocates here too, so that a
// sanitizer sees matching pairs.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (t_failFrom != 0 && size >= t_failFrom)
        return nullptr;
    return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { g_release(p); }
void operator delete(void* p, std::size_t) noexcept { g_release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { g_release(p); }

namespace {

namespace fs = std::filesystem;

testzip::Bytes Package(std::initializer_list<const char*> names) {
    testzip::Builder b;
    for (const char* name : names)
        b.Add(testzip::Entry(name, std::string(600, 'x')));
    b.Finish();
    return b.bytes();
}

// A real presentation of two slides: its parts check sound, so nothing needs the office.
testzip::Bytes SoundPackage() { return testzip::ReadFile(SharedPath("corpus/pptx/aspj-OpenPresentation.pptx")); }

// The same, cut off at nine tenths: its last parts must be mended or left out.
testzip::Bytes CutPackage() {
    testzip::Bytes bytes = SoundPackage();
    bytes.resize(bytes.size() * 9 / 10);
    return bytes;
}

// A compound file with a word-processing stream and no presentation in it.
testzip::Bytes WordCompoundFile(const TempDir& dir) {
    const std::string path = dir / "word.doc";
    COleFileManager ole;
    EXPECT_TRUE(ole.CreateDocfile(path));
    const std::string text(8000, 'w');
    EXPECT_TRUE(ole.WriteStream(ole.GetStorage(), "WordDocument", text.data(), static_cast<std::uint32_t>(text.size())));
    EXPECT_TRUE(ole.Close());
    return testzip::ReadFile(path);
}

struct OutcomeCase {
    const char* what;
    const char* fileName;
    std::function<testzip::Bytes(const TempDir&)> content;  // nothing: the file does not exist
    RepairOutcome outcome;
    const char* reasonKey;  // nullptr for a result without a reason
};

const OutcomeCase kOutcomes[] = {
    {"a missing file cannot be opened", "gone.pptx", nullptr, RepairOutcome::Failed, "IDS_WORD9"},
    {"512 bytes are too small", "small.pptx", [](const TempDir&) { return testzip::Filled("PK\3\4", 512, 'x'); },
     RepairOutcome::Failed, "IDS_WORD14"},
    {"a compound file under 2048 bytes is too small", "small.ppt",
     [](const TempDir&) { return testzip::Filled("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 1500, '\0'); },
     RepairOutcome::Failed, "IDS_WORD14"},
    {"a text file is no presentation, whatever its name", "notes.pptx",
     [](const TempDir&) { return testzip::Filled("These are my notes. ", 4000, 'n'); }, RepairOutcome::Failed,
     "IDS_NOT_PRESENTATION"},
    {"a package with no acceptable entry", "empty.pptx",
     [](const TempDir&) { return testzip::Filled("PK\3\4", 5000, '\0'); }, RepairOutcome::Failed, "IDS_WORD13"},
    {"a word-processing package renamed .pptx", "letter.pptx",
     [](const TempDir&) { return Package({"[Content_Types].xml", "_rels/.rels", "word/document.xml"}); },
     RepairOutcome::Failed, "IDS_NOT_PRESENTATION"},
    {"a workbook renamed .ppt", "sums.ppt",
     [](const TempDir&) { return Package({"[Content_Types].xml", "_rels/.rels", "xl/workbook.xml"}); },
     RepairOutcome::Failed, "IDS_NOT_PRESENTATION"},
    {"a compound file with no presentation in it", "word.ppt", WordCompoundFile, RepairOutcome::Failed,
     "IDS_NOT_PRESENTATION"},
    // Every part came back checked: no office is needed.
    {"a sound package", "deck.pptx", [](const TempDir&) { return SoundPackage(); }, RepairOutcome::Repaired,
     nullptr},
    // Something was mended and nothing could check it in an office: the report says so.
    {"a cut-off package without an office", "cut.pptx", [](const TempDir&) { return CutPackage(); },
     RepairOutcome::RepairedInPart, nullptr},
};

// The progress reported never goes back and ends at 100 %.
void ExpectProgressNeverDecreases(const JobRecord& r) {
    int last = 0;
    for (const auto& [done, total] : r.progress) {
        if (total == 0)
            continue;
        const int percent = static_cast<int>(done * 100 / total);
        EXPECT_GE(percent, last);
        last = percent;
    }
    EXPECT_EQ(last, 100);
}

}  // namespace

TEST(RepairJob, EveryEndingIsGraded) {
    for (const OutcomeCase& c : kOutcomes) {
        SCOPED_TRACE(c.what);
        TempDir dir, temp;
        const std::string source = dir / c.fileName;
        if (c.content)
            testzip::WriteFile(source, c.content(dir));
        const JobRecord r = RunJob(source, temp.path());
        EXPECT_EQ(OutcomeName(r.Outcome()), std::string(OutcomeName(c.outcome)));
        EXPECT_EQ(r.Reason(), c.reasonKey ? Text(c.reasonKey) : std::string());
        EXPECT_EQ(r.result.Usable(), !r.result.resultPath.empty());
        if (r.result.Usable()) {
            EXPECT_TRUE(fs::exists(r.result.resultPath));
            EXPECT_FALSE(r.result.report.checkedInOffice);
        }
        ExpectProgressNeverDecreases(r);
        // The user's package is never left behind as a copy.
        EXPECT_FALSE(fs::exists(temp / "tempDoc.zip"));
    }
}

TEST(RepairJob, ASoundPackageIsCountedFromItsParts) {
    TempDir dir, temp;
    testzip::WriteFile(dir / "deck.pptx", SoundPackage());
    const RecoveryReport report = RunJob(dir / "deck.pptx", temp.path()).result.report;
    EXPECT_EQ(report.outcome, RepairOutcome::Repaired);
    EXPECT_TRUE(report.everythingKept);
    EXPECT_FALSE(report.checkedInOffice);
    EXPECT_EQ(report.slides, 2);
    EXPECT_EQ(report.characters, kNotCounted);
    for (const ReportItem& item : report.items)
        EXPECT_EQ(item.state, ItemState::Kept) << item.name;
}

TEST(RepairJob, AFolderIsNoFileToRepair) {
    TempDir dir, temp;
    fs::create_directory(dir / "deck.pptx");
    const JobRecord r = RunJob(dir / "deck.pptx", temp.path());
    EXPECT_EQ(r.Outcome(), RepairOutcome::Failed);
    EXPECT_EQ(r.Reason(), Text("IDS_WORD9"));
}

TEST(RepairJob, PackageBehindAJunkPrefixIsRepaired) {
    TempDir dir, temp;
    testzip::Bytes bytes = testzip::Filled("junk", 4096, 'j');
    testzip::Bytes package = SoundPackage();
    bytes.insert(bytes.end(), package.begin(), package.end());
    testzip::WriteFile(dir / "deck.pptx", bytes);
    const JobRecord r = RunJob(dir / "deck.pptx", temp.path());
    EXPECT_TRUE(r.result.Usable());
    EXPECT_EQ(r.result.report.method, RepairMethod::ContainerRebuilt);
    auto rebuilt = testzip::ReadDirectory(testzip::ReadFile(r.result.resultPath));
    auto original = testzip::ReadDirectory(SoundPackage());
    ASSERT_TRUE(rebuilt && original);
    EXPECT_EQ(rebuilt->entries.size(), original->entries.size());
}

TEST(RepairJob, TheJobReportsItsPhasesInOrder) {
    TempDir dir, temp;
    testzip::WriteFile(dir / "deck.pptx", SoundPackage());
    const JobRecord r = RunJob(dir / "deck.pptx", temp.path());
    EXPECT_EQ(r.phases, (std::vector<RepairPhase>{RepairPhase::Reading, RepairPhase::FindingRecords}));
    testzip::WriteFile(dir / "cut.pptx", CutPackage());
    EXPECT_EQ(RunJob(dir / "cut.pptx", temp.path()).phases,
              (std::vector<RepairPhase>{RepairPhase::Reading, RepairPhase::FindingRecords, RepairPhase::Comparing}));
}

// One process repairs many files (a batch's worker, the wizard): each job's
// folder is the temporary folder only while that job runs, since it goes with it.
TEST(RepairJob, TheTemporaryFolderBeforeTheJobComesBack) {
    TempDir dir, first, second;
    testzip::WriteFile(dir / "deck.pptx", SoundPackage());
    const std::string before = GetTempPathW();
    EXPECT_TRUE(RunJob(dir / "deck.pptx", first.path()).result.Usable());
    EXPECT_EQ(GetTempPathW(), before);
    fs::remove_all(first.path());
    EXPECT_TRUE(RunJob(dir / "deck.pptx", second.path()).result.Usable());
    EXPECT_EQ(GetTempPathW(), before);
}

TEST(RepairJob, StaleWorkingFilesAreDeletedAtTheStart) {
    TempDir dir, temp;
    for (const char* name : {"tempRecDoc.pptx", "__122oweke.pptx", "__working.ppt", "__working.pps"})
        testzip::WriteFile(temp / name, testzip::Bytes(10, 's'));
    testzip::WriteFile(dir / "notes.pptx", testzip::Filled("text", 4000, 't'));
    RunJob(dir / "notes.pptx", temp.path());
    for (const char* name : {"tempRecDoc.pptx", "__122oweke.pptx", "__working.ppt", "__working.pps"})
        EXPECT_FALSE(fs::exists(temp / name)) << name;
}

TEST(RepairJob, CancelEndsAsCancelledWhateverTheStep) {
    TempDir dir, temp;
    testzip::WriteFile(dir / "deck.pptx", SoundPackage());
    testzip::WriteFile(dir / "small.pptx", testzip::Filled("PK\3\4", 100, 'x'));
    JobOptions cancelled;
    cancelled.cancelled = true;
    for (const char* name : {"deck.pptx", "small.pptx", "gone.pptx"}) {
        SCOPED_TRACE(name);
        const JobRecord r = RunJob(dir / name, temp.path(), cancelled);
        EXPECT_EQ(r.Outcome(), RepairOutcome::Cancelled);
        EXPECT_EQ(r.Reason(), Text("IDS_WORD8"));
        EXPECT_TRUE(r.result.resultPath.empty());
    }
    EXPECT_FALSE(fs::exists(temp / "tempRecDoc.pptx"));
}

// Two jobs in one process share nothing: one is held at its first check and
// cancelled, and the other, run to its end meanwhile, sees neither the cancel
// nor the hold and leaves its result in its own folder.
TEST(RepairJob, TwoJobsAtOnceEachEndTheirOwnWay) {
    TempDir dir, heldFolder, freeFolder;
    testzip::WriteFile(dir / "held.pptx", SoundPackage());
    testzip::WriteFile(dir / "free.pptx", SoundPackage());
    const std::string cancelledText = Text("IDS_WORD8");
    RepairRequest heldRequest, freeRequest;
    heldRequest.source = dir / "held.pptx";
    freeRequest.source = dir / "free.pptx";
    RepairContext held, free;
    held.tempFolder = heldFolder.path();
    free.tempFolder = freeFolder.path();

    held.cancel.Hold();
    RepairResult heldResult;
    std::thread heldJob([&] {
        heldResult = RepairPresentation(heldRequest, held);
        CoUninitialize();
    });
    held.cancel.Cancel();
    // On the holding thread, so that a hold shared between the jobs would not
    // stop this one: a shared cancel would still end it.
    const RepairResult freeResult = RepairPresentation(freeRequest, free);
    CoUninitialize();
    held.cancel.Release();
    heldJob.join();

    EXPECT_EQ(freeResult.report.outcome, RepairOutcome::Repaired);
    EXPECT_EQ(fs::path(freeResult.resultPath).parent_path(), fs::path(freeFolder.path()));
    EXPECT_TRUE(fs::exists(freeResult.resultPath));
    EXPECT_EQ(heldResult.report.outcome, RepairOutcome::Cancelled);
    EXPECT_EQ(heldResult.report.reason, cancelledText);
    EXPECT_TRUE(fs::is_empty(heldFolder.path())) << "the cancelled job leaves nothing behind";
}

TEST(RepairJob, OutOfMemoryFailsWithItsMessage) {
    TempDir dir, temp;
    testzip::Bytes compound = testzip::Filled("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 64 * 1024, '\0');
    testzip::WriteFile(dir / "deck.ppt", compound);
    testzip::WriteFile(dir / "deck.pptx", SoundPackage());
    JobOptions starved;
    starved.onWorker = [] { t_failFrom = 256 * 1024; };
    for (const char* name : {"deck.ppt", "deck.pptx"}) {
        SCOPED_TRACE(name);
        const JobRecord r = RunJob(dir / name, temp.path(), starved);
        EXPECT_EQ(r.Outcome(), RepairOutcome::Failed);
        EXPECT_EQ(r.Reason(), Text("IDS_WORD15"));
    }
}

// An office that dies under the rebuild gets one more try, from the pictures
// and counts the first try started with; a rebuild that stands is not done again.
TEST(RepairJob, ARebuildWhoseOfficeFailsIsTriedOnceMore) {
    DECKMEND_REQUIRE_CORPUS();
    const FakeAnswer created = FakeAnswer::Obj("Presentation"), refused = FakeAnswer::Fails(DISP_E_EXCEPTION);
    const struct {
        const char* what;
        std::vector<FakeAnswer> newPresentation;
        std::size_t tries;
    } cases[] = {
        {"the first try stands", {created}, 1},
        {"the first try fails, the second stands", {refused, created}, 2},
        {"every try fails", {refused}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir, temp;
        testzip::WriteFile(dir / "deck.ppt", testzip::ReadFile(SharedPath("corpus/ppt/poi-with_textbox.ppt")));
        CRecordingServer office;
        // No written file opens, so neither the relinked stream nor the cut stands.
        office.Script("Presentations.Open", {FakeAnswer::Fails(E_FAIL)});
        office.Script("Presentations.Add", c.newPresentation);
        JobOptions options;
        options.withOffice = true;
        const JobRecord r = RunJob(dir / "deck.ppt", temp.path(), options);
        const auto& log = office.Log();
        EXPECT_EQ(static_cast<std::size_t>(std::count(log.begin(), log.end(), "Presentations.Add METHOD(I4 1)")), c.tries);
        // The stand-in saves nothing, so no try leaves a presentation to hand over.
        EXPECT_EQ(r.Outcome(), RepairOutcome::Failed);
    }
}

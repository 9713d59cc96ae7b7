// deckmend-repair as a user runs it: exit status, messages, the destination, the
// source left exactly as it was, and nothing left in the temporary folder.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <thread>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "platform/file_handle.h"
#include "support/job_harness.h"
#include "support/office_required.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace fs = std::filesystem;

namespace {

testzip::Bytes SoundPackage() {
    testzip::Builder b;
    for (const auto& e : testzip::MinimalPresentation()) {
        b.Add(e);
        b.Garbage(std::string(300, 'g'));
    }
    return b.bytes();
}

// A real presentation of two slides, which the office opens.
const char* const kRealDeck = "corpus/pptx/aspj-OpenPresentation.pptx";
constexpr int kRealDeckSlides = 2;

testzip::Bytes RealDeck() { return testzip::ReadFile(SharedPath(kRealDeck)); }

// The deck with everything from its central directory on cut off.
testzip::Bytes RealDeckWithoutDirectory() {
    testzip::Bytes bytes = RealDeck();
    const std::string sig = "PK\1\2";
    const auto at = std::search(bytes.begin(), bytes.end(), sig.begin(), sig.end());
    bytes.erase(at, bytes.end());
    return bytes;
}

nlohmann::json ReadJson(const std::string& path) {
    std::ifstream in(path);
    return nlohmann::json::parse(in, nullptr, false);
}

// Everything a run could change about a file.
struct FileState {
    testzip::Bytes bytes;
    struct stat st {};
    bool operator==(const FileState& o) const {
        return bytes == o.bytes && st.st_mtim.tv_sec == o.st.st_mtim.tv_sec &&
               st.st_mtim.tv_nsec == o.st.st_mtim.tv_nsec && st.st_atim.tv_sec == o.st.st_atim.tv_sec &&
               st.st_atim.tv_nsec == o.st.st_atim.tv_nsec && st.st_ctim.tv_sec == o.st.st_ctim.tv_sec &&
               st.st_ctim.tv_nsec == o.st.st_ctim.tv_nsec && st.st_mode == o.st.st_mode;
    }
};

// Read without touching the access time, which the comparison includes.
FileState StateOf(const std::string& path) {
    FileState s;
    ::stat(path.c_str(), &s.st);
    int fd = OpenReadOnlyQuietly(path);
    s.bytes.resize(static_cast<std::size_t>(s.st.st_size));
    if (fd >= 0 && ::read(fd, s.bytes.data(), s.bytes.size()) != s.st.st_size)
        s.bytes.clear();
    ::close(fd);
    return s;
}

ProcessResult Repair(const std::vector<std::string>& args, const TempDir& tmp) {
    std::vector<std::string> all{BuildPath("deckmend-repair")};
    all.insert(all.end(), args.begin(), args.end());
    return RunProcess(all, tmp.path());
}

bool Empty(const TempDir& dir) { return fs::is_empty(dir.path()); }

// Waits until no signal is pending for the process any more: it has been taken.
void WaitUntilDelivered(pid_t pid) {
    for (int i = 0; i < 400; ++i) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        bool pending = false;
        while (std::getline(status, line))
            if ((line.rfind("SigPnd:", 0) == 0 || line.rfind("ShdPnd:", 0) == 0) &&
                line.find_first_not_of("0 \t", 7) != std::string::npos)
                pending = true;
        if (!pending)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // The handler cancels the running job right after delivery.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

}  // namespace

TEST(RepairCli, UsageErrors) {
    TempDir dir, tmp;
    testzip::WriteFile(dir / "deck.pptx", SoundPackage());
    testzip::WriteFile(dir / "taken.pptx", testzip::Bytes(5, 't'));
    const std::vector<std::vector<std::string>> cases = {
        {},
        {dir / "deck.pptx"},
        {dir / "deck.pptx", dir / "out.pptx", dir / "third.pptx"},
        {dir / "deck.pptx", dir / "deck.pptx"},
        {dir / "deck.pptx", dir.path() + "/./deck.pptx"},
        {dir / "deck.pptx", dir / "taken.pptx"},
        {"--bogus", dir / "deck.pptx", dir / "out.pptx"},
        // A destination that cannot be written is known before any work.
        {dir / "deck.pptx", dir / "missing-folder/out.pptx"},
        {dir / "deck.pptx", dir / (std::string(300, 'n') + ".pptx")},
        {dir / "deck.pptx", dir.path()},
        {"--jobs", "0", "--out-dir", dir.path(), dir / "deck.pptx"},
        {"--out-dir", dir / "missing-folder", dir / "deck.pptx"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        auto run = Repair(args, tmp);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_EQ(testzip::ReadFile(dir / "taken.pptx"), testzip::Bytes(5, 't'));
    EXPECT_FALSE(fs::exists(dir / "out.pptx"));
    EXPECT_TRUE(Empty(tmp));
}

TEST(RepairCli, FailedRepairsSayWhyAndChangeNothing) {
    struct Case {
        const char* name;
        testzip::Bytes content;
        const char* key;
    };
    const Case cases[] = {
        {"small.pptx", testzip::Filled("PK\3\4", 512, 'x'), "IDS_WORD14"},
        {"notes.pptx", testzip::Filled("Meeting notes, not a presentation. ", 3000, 'n'), "IDS_NOT_PRESENTATION"},
        {"hollow.pptx", testzip::Filled("PK\3\4", 4000, '\0'), "IDS_WORD13"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir, tmp;
        testzip::WriteFile(dir / c.name, c.content);
        FileState before = StateOf(dir / c.name);
        auto run = Repair({dir / c.name, dir / "out.pptx"}, tmp);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(Text(c.key)), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(dir / "out.pptx"));
        EXPECT_TRUE(StateOf(dir / c.name) == before);
        EXPECT_TRUE(Empty(tmp));
    }
}

// A file on a disk that cannot be read past its first blocks: the repair fails
// at once and says that the disk could not be read, with the system's reason.
TEST(RepairCli, ADiskThatCannotBeReadIsSaidSo) {
    TempDir dir, tmp;
    const std::string source = dir / "deck-unreadable.ppt";
    testzip::WriteFile(source, testzip::ReadFile(SharedPath("corpus/ppt/poi-with_textbox.ppt")));
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const ProcessResult run = RunProcess(
        {"/usr/bin/env", "LD_PRELOAD=" + BuildPath("deckmend_read_failure.so"), "DECKMEND_READ_FAILURE=-unreadable",
         // The preloaded reads come before the sanitizer's runtime in the library list.
         std::string("ASAN_OPTIONS=") + (sanitizer ? sanitizer : "") + ":verify_asan_link_order=0",
         BuildPath("deckmend-repair"), "--no-progress", source, dir / "out.ppt"},
        tmp.path());
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_NE(run.err.find(Text("IDS_READ_ERROR")), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(std::strerror(EIO)), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir / "out.ppt"));
    EXPECT_TRUE(Empty(tmp));
}

TEST(RepairCli, RepairWritesTheDestinationAndLeavesTheSourceAlone) {
    DECKMEND_REQUIRE_OFFICE();
    TempDir dir, tmp;
    testzip::WriteFile(dir / "deck.pptx", RealDeckWithoutDirectory());
    testzip::WriteFile(dir / "old.pptx", testzip::Bytes(5, 'o'));
    FileState before = StateOf(dir / "deck.pptx");

    auto run = Repair({"--report", dir / "report.json", dir / "deck.pptx", dir / "fixed.pptx"}, tmp);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    auto fixed = testzip::ReadDirectory(testzip::ReadFile(dir / "fixed.pptx"));
    auto original = testzip::ReadDirectory(RealDeck());
    ASSERT_TRUE(fixed && original);
    EXPECT_EQ(fixed->entries.size(), original->entries.size());
    EXPECT_TRUE(StateOf(dir / "deck.pptx") == before);
    EXPECT_TRUE(Empty(tmp));
    EXPECT_NE(run.out.find("kept the rebuilt file"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Saved: " + (dir / "fixed.pptx")), std::string::npos) << run.out;

    // Every part came back checked: the report says so, and no office was needed.
    const nlohmann::json report = ReadJson(dir / "report.json");
    ASSERT_FALSE(report.is_discarded());
    EXPECT_EQ(report["format"], 1);
    EXPECT_EQ(report["outcome"], "repaired");
    EXPECT_EQ(report["method"], "container-rebuilt");
    EXPECT_EQ(report["destination"], dir / "fixed.pptx");
    EXPECT_EQ(report["everythingKept"], true);
    EXPECT_EQ(report["result"]["slides"], kRealDeckSlides);
    EXPECT_TRUE(report["result"]["characters"].is_null());
    EXPECT_EQ(report["result"]["checkedInOffice"], false);
    EXPECT_EQ(report["damagedFile"]["measured"], false);

    // A cut-off package is mended, opened in the office and compared: the
    // report gives what the office shows and lists what was mended.
    testzip::Bytes cut = RealDeck();
    cut.resize(cut.size() * 9 / 10);
    testzip::WriteFile(dir / "cut.pptx", cut);
    auto mended = Repair({"--report", dir / "cut.json", dir / "cut.pptx", dir / "mended.pptx"}, tmp);
    EXPECT_EQ(mended.exitCode, 0) << mended.err;
    const nlohmann::json cutReport = ReadJson(dir / "cut.json");
    ASSERT_FALSE(cutReport.is_discarded());
    EXPECT_EQ(cutReport["outcome"], "repaired-in-part");
    EXPECT_EQ(cutReport["result"]["checkedInOffice"], true);
    EXPECT_GT(cutReport["result"]["slides"].get<int>(), 0);
    EXPECT_LE(cutReport["result"]["slides"].get<int>(), kRealDeckSlides);
    const auto& items = cutReport["items"];
    EXPECT_TRUE(std::any_of(items.begin(), items.end(), [](const nlohmann::json& item) { return item["state"] != "kept"; }));

    // Without the comparison the rebuilt file is handed over as it is, still
    // checked in the office.
    auto forced = Repair({"--force", "--no-compare", dir / "deck.pptx", dir / "old.pptx"}, tmp);
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_EQ(forced.out.find("kept"), std::string::npos) << forced.out;
    EXPECT_EQ(testzip::ReadFile(dir / "old.pptx"), testzip::ReadFile(dir / "fixed.pptx"));
}

// A full disk while the package is written: the copy of the damaged file fits
// under the file-size limit, the rebuilt package with its new directory does
// not, so its last write fails and nothing is handed over.
TEST(RepairCli, AFullDiskIsNoRepair) {
    TempDir dir, tmp;
    const testzip::Bytes package = RealDeckWithoutDirectory();
    testzip::WriteFile(dir / "deck.pptx", package);
    const std::string blocks = std::to_string((package.size() + 511) / 512);
    const std::string command = "trap '' XFSZ; ulimit -f " + blocks + "; exec \"$0\" --no-compare \"$1\" \"$2\"";
    const ProcessResult run =
        RunProcess({"/bin/sh", "-c", command, BuildPath("deckmend-repair"), dir / "deck.pptx", dir / "out.pptx"},
                   tmp.path());
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_NE(run.err.find(Text("IDS_WORD13")), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir / "out.pptx"));
    EXPECT_TRUE(Empty(tmp));
}

// Many files at once: each into the folder under its own name, one line each,
// one report for all, and the exit status says whether every one was repaired.
TEST(RepairCli, ManyFilesGoIntoAFolder) {
    DECKMEND_REQUIRE_OFFICE();
    TempDir dir, out, tmp;
    testzip::WriteFile(dir / "first.pptx", RealDeckWithoutDirectory());
    testzip::WriteFile(dir / "second.pptx", RealDeck());
    testzip::WriteFile(dir / "notes.pptx", testzip::Filled("Just notes. ", 3000, 'n'));
    const ProcessResult run = Repair({"--jobs", "2", "--out-dir", out.path(), "--report", dir / "all.json",
                                      dir / "first.pptx", dir / "second.pptx", dir / "notes.pptx"},
                                     tmp);
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_TRUE(fs::exists(out / "first.pptx"));
    EXPECT_TRUE(fs::exists(out / "second.pptx"));
    EXPECT_FALSE(fs::exists(out / "notes.pptx"));
    for (const char* name : {"first.pptx", "second.pptx", "notes.pptx"})
        EXPECT_NE(run.out.find(dir / name), std::string::npos) << name << run.out;
    const nlohmann::json all = ReadJson(dir / "all.json");
    ASSERT_FALSE(all.is_discarded());
    ASSERT_EQ(all["files"].size(), 3u);
    EXPECT_EQ(all["repaired"], 2);
    EXPECT_EQ(all["files"][2]["outcome"], "failed");
    EXPECT_EQ(all["files"][2]["reason"], Text("IDS_NOT_PRESENTATION"));
    EXPECT_EQ(all["files"][0]["result"]["slides"], kRealDeckSlides);
    EXPECT_TRUE(Empty(tmp));
}

// The profiles of the office processes that run now with their profile in
// `folder` (one office may run as two processes while it makes its profile).
std::set<std::string> OfficesIn(const std::string& folder) {
    std::set<std::string> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // Processes come and go while this reads: one that went reads as nothing.
        std::string command;
        if (const int fd = ::open((entry.path() / "cmdline").c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
            char buffer[4096];
            for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
                command.append(buffer, static_cast<std::size_t>(n));
            ::close(fd);
        }
        const std::string profile = "-env:UserInstallation=file://" + folder;
        const std::size_t at = command.find(profile);
        if (command.find("soffice.bin") != std::string::npos && at != std::string::npos)
            found.insert(command.substr(at, command.find('\0', at) - at));
    }
    return found;
}

// A batch's worker keeps one office for all the files it repairs, and ends it
// with itself.
TEST(RepairCli, AWorkerKeepsOneOfficeForAllItsFiles) {
    DECKMEND_REQUIRE_OFFICE();
    TempDir dir, out, tmp;
    testzip::Bytes cut = RealDeck();
    cut.resize(cut.size() * 9 / 10);  // mended, so the office checks and compares each
    std::vector<std::string> args{"--jobs", "1", "--out-dir", out.path()};
    for (const char* name : {"a.pptx", "b.pptx", "c.pptx"}) {
        testzip::WriteFile(dir / name, cut);
        args.push_back(dir / name);
    }
    std::set<std::string> offices;
    std::atomic<bool> over{false};
    std::thread watch([&] {
        while (!over) {
            offices.merge(OfficesIn(tmp.path()));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const ProcessResult run = Repair(args, tmp);
    over = true;
    watch.join();
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    for (const char* name : {"a.pptx", "b.pptx", "c.pptx"})
        EXPECT_TRUE(fs::exists(out / name)) << name;
    EXPECT_EQ(offices.size(), 1u) << testing::PrintToString(offices);
    EXPECT_TRUE(OfficesIn(tmp.path()).empty());
    EXPECT_TRUE(Empty(tmp));
}

TEST(RepairCli, RunsCanGoAtOnce) {
    DECKMEND_REQUIRE_OFFICE();
    TempDir dir, tmp;
    testzip::WriteFile(dir / "deck.pptx", RealDeckWithoutDirectory());
    std::vector<std::future<ProcessResult>> runs;
    for (int i = 0; i < 3; ++i)
        runs.push_back(std::async(std::launch::async, [&, i] {
            return Repair({dir / "deck.pptx", dir / ("out" + std::to_string(i) + ".pptx")}, tmp);
        }));
    for (auto& r : runs)
        EXPECT_EQ(r.get().exitCode, 0);
    for (int i = 1; i < 3; ++i)
        EXPECT_EQ(testzip::ReadFile(dir / ("out" + std::to_string(i) + ".pptx")), testzip::ReadFile(dir / "out0.pptx"));
    EXPECT_TRUE(Empty(tmp));
}

// Ctrl-C while the job waits for its source: the source is a pipe that the test
// fills only after the interrupt, so the order of events is fixed.
TEST(RepairCli, InterruptCancels) {
    TempDir dir, tmp;
    std::string fifo = dir / "deck.pptx";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<std::string> args{BuildPath("deckmend-repair"), fifo, dir / "out.pptx"};
    auto run = std::async(std::launch::async, [&] { return RunProcess(args, tmp.path()); });

    int writer = ::open(fifo.c_str(), O_WRONLY);  // returns once the job has opened its source
    ASSERT_GE(writer, 0);
    pid_t pid = ProcessOf(args[0] + " " + fifo);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    WaitUntilDelivered(pid);
    testzip::Bytes package = SoundPackage();
    EXPECT_EQ(::write(writer, package.data(), package.size()), static_cast<ssize_t>(package.size()));
    ::close(writer);

    ProcessResult result = run.get();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find(Text("IDS_WORD8")), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("Cancelled"), std::string::npos) << result.out;
    EXPECT_FALSE(fs::exists(dir / "out.pptx"));
    EXPECT_TRUE(Empty(tmp));
}

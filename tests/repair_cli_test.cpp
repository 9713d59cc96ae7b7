// deckmend-repair as a user runs it: exit status, messages, the destination, the
// source left exactly as it was, and nothing left in the temporary folder.
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_handle.h"
#include "support/job_harness.h"
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
    // The handler clears the run flag right after delivery.
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
        {"notes.pptx", testzip::Filled("Meeting notes, not a presentation. ", 3000, 'n'), "IDS_WORD13"},
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

TEST(RepairCli, RepairWritesTheDestinationAndLeavesTheSourceAlone) {
    TempDir dir, tmp;
    testzip::WriteFile(dir / "deck.pptx", SoundPackage());
    testzip::WriteFile(dir / "old.pptx", testzip::Bytes(5, 'o'));
    FileState before = StateOf(dir / "deck.pptx");

    auto run = Repair({dir / "deck.pptx", dir / "fixed.pptx"}, tmp);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    auto fixed = testzip::ReadDirectory(testzip::ReadFile(dir / "fixed.pptx"));
    ASSERT_TRUE(fixed);
    EXPECT_EQ(fixed->entries.size(), testzip::MinimalPresentation().size());
    EXPECT_TRUE(StateOf(dir / "deck.pptx") == before);
    EXPECT_TRUE(Empty(tmp));

    EXPECT_NE(run.out.find("kept the rebuilt file"), std::string::npos) << run.out;

    // Without the comparison the rebuilt file is handed over as it is.
    auto forced = Repair({"--force", "--no-compare", dir / "deck.pptx", dir / "old.pptx"}, tmp);
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_EQ(forced.out.find("kept"), std::string::npos) << forced.out;
    EXPECT_EQ(testzip::ReadFile(dir / "old.pptx"), testzip::ReadFile(dir / "fixed.pptx"));
}

TEST(RepairCli, RunsCanGoAtOnce) {
    TempDir dir, tmp;
    testzip::WriteFile(dir / "deck.pptx", SoundPackage());
    std::vector<std::future<ProcessResult>> runs;
    for (int i = 0; i < 4; ++i)
        runs.push_back(std::async(std::launch::async, [&, i] {
            return Repair({dir / "deck.pptx", dir / ("out" + std::to_string(i) + ".pptx")}, tmp);
        }));
    for (auto& r : runs)
        EXPECT_EQ(r.get().exitCode, 0);
    for (int i = 1; i < 4; ++i)
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
    EXPECT_FALSE(fs::exists(dir / "out.pptx"));
    EXPECT_TRUE(Empty(tmp));
}

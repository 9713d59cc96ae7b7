// Binary presentations through deckmend-repair with the real office server:
// the endings that a user sees for encrypted files, for files that hold nothing
// of a presentation, and for a cancel at any moment, which must not leave an
// office process behind.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <future>
#include <thread>

#include "automation/impress_server.h"
#include "support/office_required.h"
#include "support/compound_builder.h"
#include "support/job_harness.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace fs = std::filesystem;

namespace {


ProcessResult Repair(const std::string& source, const std::string& dest, const TempDir& tmp) {
    return RunProcess({BuildPath("deckmend-repair"), source, dest}, tmp.path());
}

// Processes whose command line mentions `text`, such as an office process
// whose profile lies in a test's temporary folder.
std::size_t ProcessesMentioning(const std::string& text) {
    return ProcessesMatching("[" + text.substr(0, 1) + "]" + text.substr(1)).size();
}

class BinaryRepairCli : public ::testing::Test {
protected:
    void SetUp() override {
        DECKMEND_REQUIRE_OFFICE();
        DECKMEND_REQUIRE_CORPUS();
    }
};

TEST_F(BinaryRepairCli, EncryptedFilesCannotBeRepaired) {
    for (const char* name : {"aspj-open_pass1.ppt", "mscrypto-rc4cryptoapi_password.ppt", "olet-encrypted.ppt"}) {
        SCOPED_TRACE(name);
        TempDir dir, tmp;
        ProcessResult r = Repair(SharedPath(std::string("corpus/ppt/") + name), dir / "out.ppt", tmp);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(Text("IDS_PASSWORD_PROTECTED")), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir / "out.ppt"));
        EXPECT_TRUE(fs::is_empty(tmp.path()));
    }
}

// A sound compound file whose only stream holds no presentation record: the
// office saves an empty working copy, and that is no repair: it is no
// presentation at all.
TEST_F(BinaryRepairCli, NothingSalvagedIsNoRepair) {
    CompoundBuilder b(9, 12);
    b.AddFatSector(0);
    b.Chain(1, 11);
    for (std::uint32_t k = 1; k <= 11; ++k)
        b.Put(k, std::vector<std::uint8_t>(512, static_cast<std::uint8_t>(0x20 + k)));
    TempDir dir, tmp;
    testzip::WriteFile(dir / "blank.ppt", b.Build());
    ProcessResult r = Repair(dir / "blank.ppt", dir / "out.ppt", tmp);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(Text("IDS_NOT_PRESENTATION")), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.ppt"));
    EXPECT_EQ(ProcessesMentioning(tmp.path()), 0u);
}

// A file whose header is lost goes through every step with the office; a
// cancel at any moment ends with the cancel message. Each interrupt must meet
// the run still going, so that the test sees the cancel happen.
TEST_F(BinaryRepairCli, CancelAtAnyMomentEndsCleanly) {
    TempDir work;
    const std::string source = work / "headerless.ppt";
    ASSERT_EQ(RunProcess({"/usr/bin/python3", SharedPath("tools/damage.py"), "zero-header", "1",
                          SharedPath("corpus/ppt/poi-47261.ppt"), source})
                  .exitCode,
              0);
    for (int delayMs : {200, 800, 1600}) {
        SCOPED_TRACE(delayMs);
        TempDir tmp;
        const std::string dest = work / "out.ppt";
        auto run = std::async(std::launch::async, [&] { return Repair(source, dest, tmp); });
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        const pid_t pid = ProcessOf(BuildPath("deckmend-repair") + " " + source);
        ASSERT_GT(pid, 0) << "the repair ended before the interrupt";
        ::kill(pid, SIGINT);
        ProcessResult r = run.get();
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(Text("IDS_WORD8")), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dest));
        EXPECT_EQ(ProcessesMentioning(tmp.path()), 0u) << "an office process outlived the run";
        EXPECT_TRUE(fs::is_empty(tmp.path()));
        fs::remove(dest);
    }
}

}  // namespace

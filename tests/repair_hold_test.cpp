// Holding the repair job while the user is asked whether to cancel, the
// single-instance lock's report of who holds it, and the file dialogs' filters.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/file_dialog.h"
#include "platform/instance_lock.h"
#include "repair/job/job_state.h"

namespace {

using namespace std::chrono_literals;

// A worker that checks the run flag once and says when it got past the check.
struct CheckingWorker {
    std::atomic<bool> past{false};
    std::atomic<bool> cancelled{false};
    std::thread thread{[this] {
        cancelled = RepairCancelled();
        past = true;
    }};
    ~CheckingWorker() {
        if (thread.joinable())
            thread.join();
    }
};

bool StaysWaiting(const CheckingWorker& worker) {
    std::this_thread::sleep_for(100ms);
    return !worker.past;
}

bool GetsPast(const CheckingWorker& worker) {
    for (int i = 0; i < 500 && !worker.past; ++i)
        std::this_thread::sleep_for(10ms);
    return worker.past;
}

}  // namespace

TEST(RepairHold, WorkerWaitsAtItsCheckUntilTheHoldIsReleased) {
    g_bRun = 1;
    HoldRepair();
    EXPECT_TRUE(RepairHeld());
    CheckingWorker worker;
    EXPECT_TRUE(StaysWaiting(worker));
    ReleaseRepair();
    EXPECT_TRUE(GetsPast(worker));
    EXPECT_FALSE(worker.cancelled);
    EXPECT_FALSE(RepairHeld());
}

TEST(RepairHold, CancelDecidedDuringTheHoldIsSeenAtTheCheck) {
    g_bRun = 1;
    HoldRepair();
    CheckingWorker worker;
    EXPECT_TRUE(StaysWaiting(worker));
    g_bRun.exchange(0);
    ReleaseRepair();
    EXPECT_TRUE(GetsPast(worker));
    EXPECT_TRUE(worker.cancelled);
    g_bRun = 1;
}

TEST(RepairHold, HoldsNestAndTheHolderNeverWaitsOnItself) {
    g_bRun = 1;
    HoldRepair();
    HoldRepair();
    EXPECT_FALSE(RepairCancelled());  // on the holding thread: no wait
    CheckingWorker worker;
    ReleaseRepair();
    EXPECT_TRUE(StaysWaiting(worker));
    ReleaseRepair();
    EXPECT_TRUE(GetsPast(worker));
}

TEST(RepairHold, ReleaseWithoutHoldChangesNothing) {
    ReleaseRepair();
    EXPECT_FALSE(RepairHeld());
    HoldRepair();
    std::thread other([] { ReleaseRepair(); });  // not this thread's hold
    other.join();
    EXPECT_TRUE(RepairHeld());
    ReleaseRepair();
    EXPECT_FALSE(RepairHeld());
}

TEST(InstanceLock, ReportsALockHeldByAnotherHolder) {
    CNamedMutex first("Deckmend hold test lock");
    ASSERT_TRUE(first.Acquire());
    CNamedMutex second("Deckmend hold test lock");
    EXPECT_FALSE(second.Acquire());
    EXPECT_TRUE(second.HeldElsewhere());
    first.Release();
    EXPECT_TRUE(second.Acquire());
    EXPECT_FALSE(second.HeldElsewhere());
}

TEST(FileDialog, FilterSplitsIntoDescriptionAndPatterns) {
    const struct {
        const char* filter;
        const char* description;
        std::vector<std::string> patterns;
    } cases[] = {
        {"Microsoft PowerPoint Files (*.ppt, *.pps) | *.ppt; *.pps||", "Microsoft PowerPoint Files (*.ppt, *.pps)",
         {"*.ppt", "*.pps"}},
        {"Microsoft PowerPoint Files (*.pptx) | *.pptx||", "Microsoft PowerPoint Files (*.pptx)", {"*.pptx"}},
        {"All|*.*", "All", {"*.*"}},
        {"No patterns", "No patterns", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filter);
        FileFilterParts parts = SplitFileFilter(c.filter);
        EXPECT_EQ(parts.description, c.description);
        EXPECT_EQ(parts.patterns, c.patterns);
    }
}

TEST(FileDialog, WithoutHandlerEveryDialogIsCancelled) {
    FileDialogHandler previous = SetFileDialogHandler({});
    EXPECT_FALSE(ShowFileDialog({nullptr, FileDialogKind::Open, "All|*.*", "", "", true, false}));
    SetFileDialogHandler(previous);
}

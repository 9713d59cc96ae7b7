// Holding the repair job while the user is asked whether to cancel, the
// single-instance lock's report of who holds it, and the file dialogs' filters.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/file_dialog.h"
#include "platform/instance_lock.h"
#include "repair/io/job_control.h"

namespace {

using namespace std::chrono_literals;

// A worker that checks the job's token once and says when it got past the check.
struct CheckingWorker {
    explicit CheckingWorker(const CancelToken& token) : token(token) {}
    const CancelToken& token;
    std::atomic<bool> past{false};
    std::atomic<bool> cancelled{false};
    std::thread thread{[this] {
        cancelled = token.Cancelled();
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
    CancelToken token;
    token.Hold();
    EXPECT_TRUE(token.Held());
    CheckingWorker worker(token);
    EXPECT_TRUE(StaysWaiting(worker));
    EXPECT_TRUE(token.Release());
    EXPECT_TRUE(GetsPast(worker));
    EXPECT_FALSE(worker.cancelled);
    EXPECT_FALSE(token.Held());
}

TEST(RepairHold, CancelDecidedDuringTheHoldIsSeenAtTheCheck) {
    CancelToken token;
    token.Hold();
    CheckingWorker worker(token);
    EXPECT_TRUE(StaysWaiting(worker));
    token.Cancel();
    token.Release();
    EXPECT_TRUE(GetsPast(worker));
    EXPECT_TRUE(worker.cancelled);
}

TEST(RepairHold, HoldsNestAndTheHolderNeverWaitsOnItself) {
    CancelToken token;
    token.Hold();
    token.Hold();
    EXPECT_FALSE(token.Cancelled());  // on the holding thread: no wait
    CheckingWorker worker(token);
    token.Release();
    EXPECT_TRUE(StaysWaiting(worker));
    token.Release();
    EXPECT_TRUE(GetsPast(worker));
}

TEST(RepairHold, ReleaseWithoutHoldChangesNothing) {
    CancelToken token;
    EXPECT_FALSE(token.Release());
    EXPECT_FALSE(token.Held());
    token.Hold();
    std::thread other([&token] { EXPECT_FALSE(token.Release()); });  // not this thread's hold
    other.join();
    EXPECT_TRUE(token.Held());
    EXPECT_TRUE(token.Release());
    EXPECT_FALSE(token.Held());
}

// One job's hold and cancel leave another job's token alone.
TEST(RepairHold, TokensOfTwoJobsAreApart) {
    CancelToken held, other;
    held.Hold();
    held.Cancel();
    CheckingWorker worker(other);
    EXPECT_TRUE(GetsPast(worker));
    EXPECT_FALSE(worker.cancelled);
    held.Release();
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

// The platform layer: messages between threads, the single-instance lock, the
// temporary folder, free space and file copies.
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/instance_lock.h"
#include "platform/window.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace {

class CThreadProbe : public CWnd {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM) override {
        handledOn = std::this_thread::get_id();
        return static_cast<LRESULT>(message + wParam);
    }
    std::thread::id handledOn;
};

}  // namespace

TEST(SendMessage, RunsOnTheTargetsThreadAndWaits) {
    CQueuePump pump;
    RegisterMessagePump(&pump);
    CThreadProbe target;  // belongs to this thread
    std::atomic<bool> done{false};
    LRESULT result = 0;
    std::thread worker([&] {
        result = SendMessageW(&target, 5, 7, 0);
        done = true;
    });
    pump.RunUntil([&] { return done.load(); }, std::chrono::milliseconds(5));
    worker.join();
    RegisterMessagePump(nullptr);
    EXPECT_EQ(result, 12);
    EXPECT_EQ(target.handledOn, std::this_thread::get_id());

    // A target of the caller's own thread is called directly.
    EXPECT_EQ(SendMessageW(&target, 1, 1, 0), 2);
    EXPECT_EQ(SendMessageW(nullptr, 1, 1, 0), 0);
}

TEST(NamedMutex, OneHolderAtATime) {
    CNamedMutex first("Deckmend PPT test lock"), second("Deckmend PPT test lock");
    ASSERT_TRUE(first.Acquire());
    EXPECT_FALSE(second.Acquire());
    first.Release();
    EXPECT_TRUE(second.Acquire());
}

TEST(Folders, TempPathEndsWithASlash) {
    SetTempFolder("/some/where");
    EXPECT_EQ(GetTempPathW(), "/some/where/");
    SetTempFolder({});
    EXPECT_EQ(GetTempPathW().back(), '/');
}

TEST(Folders, FreeSpaceOfAPathThatDoesNotExistYet) {
    TempDir dir;
    std::uint64_t here = 0, deeper = 0;
    ASSERT_TRUE(GetDiskFreeSpaceExW(dir.path(), here));
    ASSERT_TRUE(GetDiskFreeSpaceExW(dir / "not/yet/made.pptx", deeper));
    EXPECT_GT(here, 0u);
    EXPECT_NEAR(static_cast<double>(here), static_cast<double>(deeper), 64.0 * 1024 * 1024);
}

TEST(FileOps, CopyMoveDelete) {
    TempDir dir;
    testzip::Bytes content(3 << 20);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<std::uint8_t>(i * 7);
    testzip::WriteFile(dir / "a", content);
    EXPECT_TRUE(CopyFileW(dir / "a", dir / "b", TRUE));
    EXPECT_EQ(testzip::ReadFile(dir / "b"), content);
    EXPECT_FALSE(CopyFileW(dir / "a", dir / "b", TRUE));  // exists
    testzip::WriteFile(dir / "c", testzip::Bytes(10, 'c'));
    EXPECT_TRUE(CopyFileW(dir / "a", dir / "c", FALSE));  // replaced
    EXPECT_EQ(testzip::ReadFile(dir / "c"), content);
    EXPECT_FALSE(CopyFileW(dir / "missing", dir / "d", FALSE));
    EXPECT_FALSE(std::filesystem::exists(dir / "d"));

    EXPECT_TRUE(MoveFileReplace(dir / "b", dir / "c"));
    EXPECT_FALSE(std::filesystem::exists(dir / "b"));
    EXPECT_EQ(testzip::ReadFile(dir / "c"), content);
    EXPECT_TRUE(DeleteFileW(dir / "c"));
    EXPECT_FALSE(DeleteFileW(dir / "c"));
}

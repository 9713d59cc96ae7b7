// The platform layer: messages between threads, the single-instance lock, the
// temporary folder, free space and file copies.
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

#include "platform/file_handle.h"
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

// Handing written data to the disk as it is written changes nothing of what is
// written, also across a handle moved halfway.
TEST(FileOps, WriteBackAsWrittenKeepsEveryByte) {
    TempDir dir;
    testzip::Bytes content(20 << 20);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<std::uint8_t>(i * 13 + (i >> 16));
    constexpr std::size_t kPiece = 3 << 20;
    CFileHandle first;
    ASSERT_TRUE(first.Open(dir / "out", FileAccess::CreateNew));
    first.WriteBackAsWritten();
    CFileHandle second;
    for (std::size_t at = 0; at < content.size(); at += kPiece) {
        if (at >= content.size() / 2 && first.IsOpen())
            second = std::move(first);
        CFileHandle& out = first.IsOpen() ? first : second;
        ASSERT_TRUE(out.Write(content.data() + at, std::min(kPiece, content.size() - at)));
    }
    second.Close();
    EXPECT_EQ(testzip::ReadFile(dir / "out"), content);
}

// Handing over a result: never over a file that appeared meanwhile unless asked
// to replace, never a half-written file under the destination's name.
TEST(FileOps, PlaceFileKeepsAFileThatIsThere) {
    TempDir dir;
    const auto made = [&](const char* name, char fill) {
        testzip::WriteFile(dir / name, testzip::Bytes(8, static_cast<std::uint8_t>(fill)));
        return dir / name;
    };
    EXPECT_EQ(PlaceFile(made("result", 'r'), made("taken", 't'), false), EEXIST);
    EXPECT_EQ(testzip::ReadFile(dir / "taken"), testzip::Bytes(8, 't'));
    EXPECT_TRUE(std::filesystem::exists(dir / "result")) << "the result stays for another try";

    EXPECT_EQ(PlaceFile(dir / "result", dir / "taken", true), 0);
    EXPECT_EQ(testzip::ReadFile(dir / "taken"), testzip::Bytes(8, 'r'));
    EXPECT_FALSE(std::filesystem::exists(dir / "result"));

    EXPECT_EQ(PlaceFile(made("second", 's'), dir / "fresh", false), 0);
    EXPECT_EQ(testzip::ReadFile(dir / "fresh"), testzip::Bytes(8, 's'));
    EXPECT_EQ(PlaceFile(made("third", 'x'), dir / "no-folder/fresh", false), ENOENT);
    // Nothing staged is left behind.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 3u);  // taken, fresh, third
}

TEST(FileOps, DestinationProblemsAreNamed) {
    TempDir dir;
    EXPECT_EQ(DestinationProblem(dir / "fine.pptx"), "");
    EXPECT_NE(DestinationProblem(dir / "missing/out.pptx").find("does not exist"), std::string::npos);
    EXPECT_NE(DestinationProblem(dir / std::string(300, 'n')).find("too long"), std::string::npos);
    EXPECT_NE(DestinationProblem(dir.path()).find("is a folder"), std::string::npos);
    testzip::WriteFile(dir / "file", testzip::Bytes(1, 'f'));
    EXPECT_NE(DestinationProblem(dir / "file/out.pptx").find("not a folder"), std::string::npos);
}

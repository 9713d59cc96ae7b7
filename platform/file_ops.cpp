#include "platform/file_ops.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/file_handle.h"

namespace {

constexpr std::uint64_t kCopyPiece = 32u << 20;   // progress and cancellation granularity
constexpr std::size_t kFallbackBuffer = 1u << 20;  // when the kernel cannot copy itself

std::int64_t CopyByBuffer(int in, std::uint64_t inPos, int out, std::uint64_t count,
                          const std::function<bool(std::uint64_t)>& chunk) {
    std::vector<char> buffer(kFallbackBuffer);
    std::uint64_t done = 0;
    while (done < count) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), count - done));
        ssize_t n = ::pread(in, buffer.data(), want, static_cast<off_t>(inPos + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        for (ssize_t w = 0; w < n;) {
            ssize_t m = ::write(out, buffer.data() + w, static_cast<std::size_t>(n - w));
            if (m < 0 && errno == EINTR)
                continue;
            if (m <= 0)
                return -1;
            w += m;
        }
        done += static_cast<std::uint64_t>(n);
        if (chunk && !chunk(done))
            break;
    }
    return static_cast<std::int64_t>(done);
}

// The kernel cannot copy between these files (another file system, a pipe, an
// older kernel): a buffer does the rest.
bool KernelCannotCopy(int error) {
    return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP;
}

}  // namespace

std::int64_t CopyRange(int in, std::uint64_t inPos, int out, std::uint64_t count,
                       const std::function<bool(std::uint64_t)>& chunk) {
    std::uint64_t done = 0;
    while (done < count) {
        loff_t from = static_cast<loff_t>(inPos + done);
        std::size_t want = static_cast<std::size_t>(std::min(kCopyPiece, count - done));
        ssize_t n = ::copy_file_range(in, &from, out, nullptr, want, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && KernelCannotCopy(errno)) {
            std::function<bool(std::uint64_t)> rest;
            if (chunk)
                rest = [&chunk, done](std::uint64_t copied) { return chunk(done + copied); };
            std::int64_t copied = CopyByBuffer(in, inPos + done, out, count - done, rest);
            return copied < 0 ? -1 : static_cast<std::int64_t>(done) + copied;
        }
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<std::uint64_t>(n);
        if (chunk && !chunk(done))
            break;
    }
    return static_cast<std::int64_t>(done);
}

BOOL CopyFileW(const std::string& source, const std::string& destination, BOOL failIfExists) {
    CFileHandle in;
    if (!in.Open(source, FileAccess::ReadOnly))
        return FALSE;
    std::uint64_t size = 0;
    if (!in.Size(size))
        return FALSE;
    CFileHandle out;
    if (!out.Open(destination, failIfExists ? FileAccess::CreateNew : FileAccess::CreateAlways))
        return FALSE;
    if (CopyRange(in.Fd(), 0, out.Fd(), size) != static_cast<std::int64_t>(size)) {
        out.Close();
        ::unlink(destination.c_str());
        return FALSE;
    }
    return TRUE;
}

BOOL DeleteFileW(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? TRUE : FALSE;
}

BOOL MoveFileReplace(const std::string& source, const std::string& destination) {
    if (::rename(source.c_str(), destination.c_str()) == 0)
        return TRUE;
    if (errno != EXDEV)
        return FALSE;
    std::string partial = destination + ".partial";
    if (!CopyFileW(source, partial, FALSE))
        return FALSE;
    if (::rename(partial.c_str(), destination.c_str()) != 0) {
        ::unlink(partial.c_str());
        return FALSE;
    }
    ::unlink(source.c_str());
    return TRUE;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool GetFileSize(const std::string& path, std::uint64_t& size) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

void RemoveTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

#include "platform/file_ops.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SyncPath(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot sync a folder
    ::close(fd);
    return synced;
}

// A new empty file with a hidden name beside `destination`, readable as a file
// the user saved would be.
std::string StageBeside(const std::string& destination) {
    std::string staged = FolderOf(destination) + "/.deckmend-XXXXXX";
    const int fd = ::mkstemp(staged.data());
    if (fd < 0)
        return {};
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    return staged;
}

int NoReplaceRename(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the flag: a hard link fails as well when the name is taken.
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    ::unlink(from.c_str());
    return 0;
}

}  // namespace

int PlaceFile(const std::string& source, const std::string& destination, bool replace) {
    const std::string staged = StageBeside(destination);
    if (staged.empty())
        return errno;
    const bool moved = ::rename(source.c_str(), staged.c_str()) == 0;
    // On failure the source is put back as it was.
    const auto undo = [&](int error) {
        if (!moved || ::rename(staged.c_str(), source.c_str()) != 0)
            ::unlink(staged.c_str());
        return error;
    };
    if (!moved && !CopyFileW(source, staged, FALSE))
        return undo(errno ? errno : EIO);
    if (!SyncPath(staged, O_RDONLY))
        return undo(errno);
    const int error = replace ? (::rename(staged.c_str(), destination.c_str()) == 0 ? 0 : errno)
                              : NoReplaceRename(staged, destination);
    if (error != 0)
        return undo(error);
    if (!moved)
        ::unlink(source.c_str());
    SyncPath(FolderOf(destination), O_RDONLY | O_DIRECTORY);
    return 0;
}

std::string DestinationProblem(const std::string& destination) {
    const std::string name = NameOf(destination);
    if (name.empty() || name == "." || name == "..")
        return "no file name";
    if (name.size() > NAME_MAX)
        return "the file name is too long";
    if (destination.size() >= PATH_MAX)
        return "the path is too long";
    const std::string folder = FolderOf(destination);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0)
        return "the folder " + folder + " does not exist";
    if (!S_ISDIR(st.st_mode))
        return folder + " is not a folder";
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "the folder " + folder + " cannot be written (" + std::string(std::strerror(errno)) + ")";
    if (::stat(destination.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return destination + " is a folder";
    return {};
}

CPrivateFolder::~CPrivateFolder() {
    if (!m_path.empty())
        RemoveTree(m_path);
}

bool CPrivateFolder::Create(const std::string& parent) {
    std::string pattern = parent + "deckmend-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return false;
    m_path = pattern;
    return true;
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

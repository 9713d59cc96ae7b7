// Loaded with LD_PRELOAD into a program under test: reads of a file whose path
// holds the text in DECKMEND_READ_FAILURE fail with EIO past its first 4 KiB,
// as on a disk with a bad sector. Every other read goes through untouched.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr off_t kReadableBytes = 4096;

bool FailsAt(int fd, off_t position) {
    const char* marker = std::getenv("DECKMEND_READ_FAILURE");
    if (!marker || !*marker || position < kReadableBytes)
        return false;
    char link[64];
    char path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = ::readlink(link, path, sizeof path - 1);
    if (length <= 0)
        return false;
    path[length] = '\0';
    return std::strstr(path, marker) != nullptr;
}

template <typename Function>
Function Next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
    static const auto next = Next<ssize_t (*)(int, void*, size_t)>("read");
    if (FailsAt(fd, ::lseek(fd, 0, SEEK_CUR))) {
        errno = EIO;
        return -1;
    }
    return next(fd, buffer, count);
}

extern "C" ssize_t pread64(int fd, void* buffer, size_t count, off_t position) {
    static const auto next = Next<ssize_t (*)(int, void*, size_t, off_t)>("pread64");
    if (FailsAt(fd, position)) {
        errno = EIO;
        return -1;
    }
    return next(fd, buffer, count, position);
}

#include "platform/instance_lock.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/folders.h"

namespace {

// A lock file name made of the mutex name's letters and digits.
std::string LockPath(const std::string& name) {
    std::string file;
    for (char c : name)
        file += (std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = runtime && *runtime ? std::string(runtime) + "/" : std::string("/tmp/");
    return folder + file + "-" + std::to_string(::getuid()) + ".lock";
}

}  // namespace

CNamedMutex::CNamedMutex(const std::string& name) : m_path(LockPath(name)) {}

CNamedMutex::~CNamedMutex() { Release(); }

bool CNamedMutex::Acquire() {
    m_bHeldElsewhere = false;
    if (m_fd >= 0)
        return true;
    int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // The kernel drops a flock when the process ends, however it ends.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_bHeldElsewhere = errno == EWOULDBLOCK;
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void CNamedMutex::Release() {
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
    }
    m_fd = -1;
}

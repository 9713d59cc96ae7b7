#pragma once
// A named lock held for the life of the process, so that one instance runs at a time.
#include <string>

class CNamedMutex {
public:
    explicit CNamedMutex(const std::string& name);
    ~CNamedMutex();
    CNamedMutex(const CNamedMutex&) = delete;
    CNamedMutex& operator=(const CNamedMutex&) = delete;

    // Takes the lock; false when another process holds it.
    bool Acquire();
    void Release();
    bool Held() const { return m_fd >= 0; }
    // After a failed Acquire: true when another process holds the lock, false
    // when the lock could not be tried at all.
    bool HeldElsewhere() const { return m_bHeldElsewhere; }

private:
    std::string m_path;
    int m_fd = -1;
    bool m_bHeldElsewhere = false;
};

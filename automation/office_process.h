#pragma once
// One private office process: the soffice wrapper started headless in a
// process group of its own, with a fresh profile folder and a pipe name that
// no other instance uses. soffice does not end when its client does, so the
// group is killed and reaped when the object goes, at program exit, and by a
// small guardian process when this program dies without cleaning up.
#include <sys/types.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class COfficeProcess {
public:
    // The office program; empty when the suite is not installed.
    static std::string ProgramPath();

    // Starts the office process listening on a new pipe; null when it cannot
    // be started.
    static std::unique_ptr<COfficeProcess> Start();
    ~COfficeProcess();
    COfficeProcess(const COfficeProcess&) = delete;
    COfficeProcess& operator=(const COfficeProcess&) = delete;

    const std::string& PipeName() const { return m_pipeName; }
    pid_t Group() const { return m_group; }
    // False once the wrapper has ended.
    bool Running();
    // Kills the whole group at once; safe from any thread, also more than once.
    // Does not wait.
    void Kill();
    // Waits for every member of the killed group to end.
    void Reap();

private:
    COfficeProcess() = default;

    pid_t m_group = 0;  // the wrapper's pid, which leads the group
    pid_t m_guardian = 0;
    int m_guardianPipe = -1;
    std::string m_pipeName;
    std::string m_profileFolder;
    std::vector<std::string> m_leftovers;  // profile folder and sockets, removed at the end
    std::mutex m_reapLock;
    std::atomic<bool> m_reaped{false};
};

#pragma once
// The application object: checks at start-up that the tool can work at all
// (no PowerPoint window open, a usable PowerPoint, no second instance) and
// creates the main frame.
#include <memory>
#include <string>
#include <thread>

#include "platform/win_types.h"

class CMainFrame;
class CNamedMutex;
class CQtMessagePump;
class QObject;

// Name of the single-instance lock: the product's short name.
inline constexpr const char* kInstanceLockName = "Deckmend PPT";


class CRepairPPT {
public:
    // `appFolder`: the program folder with the language and settings files;
    // empty for the executable's own folder.
    explicit CRepairPPT(std::string appFolder = {});
    ~CRepairPPT();
    CRepairPPT(const CRepairPPT&) = delete;
    CRepairPPT& operator=(const CRepairPPT&) = delete;

    // The start-up sequence. FALSE ends the process at once; TRUE without a
    // main window ends it too. The window comes first: the office check runs
    // behind it, and a failed check shows its message, closes the window and
    // ends the event loop with status 1.
    BOOL InitInstance();
    // Takes events until the office check has answered; false when it failed.
    bool WaitForOfficeCheck();
    bool OfficeCheckDone() const { return m_officeCheck == OfficeCheck::Passed || m_officeCheck == OfficeCheck::Failed; }
    int ExitInstance();

    CMainFrame* MainWindow() const { return m_pMainWnd.get(); }
    // A file named on the command line: chosen on the start page at start-up.
    void SetSourceToOpen(std::string path) { m_strSourceToOpen = std::move(path); }

private:
    enum class OfficeCheck { NotStarted, Running, Passed, Failed };
    // What the check on the worker found; the messages are shown on the UI thread.
    enum class OfficeAnswer { Works, NotStarted, Unsupported };
    void StartOfficeCheck();
    static OfficeAnswer CheckPowerPoint();
    void OnOfficeChecked(OfficeAnswer answer);
    bool TakeInstanceLock();
    bool CreateMainWindow();

    std::string m_strAppFolder;
    std::string m_strSourceToOpen;
    std::unique_ptr<CQtMessagePump> m_pPump;
    std::unique_ptr<CNamedMutex> m_pInstanceLock;
    std::unique_ptr<CMainFrame> m_pMainWnd;
    std::thread m_officeThread;
    std::unique_ptr<QObject> m_pCheckReceiver;
    OfficeCheck m_officeCheck = OfficeCheck::NotStarted;
};

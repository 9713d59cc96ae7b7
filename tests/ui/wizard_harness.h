#pragma once
// Scripted surroundings for the wizard under test: a program folder of its own
// (language files, settings, tips), a temporary folder of its own, and
// answered message boxes, file dialogs, shell requests and modal dialogs, so
// that nothing ever waits for a person.
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_dialog.h"
#include "platform/shell_execute.h"
#include "platform/win_types.h"

class CWnd;

struct ShownBox {
    std::string text;
    std::string caption;
    UINT type;
    CWnd* owner;
};

class CWizardHarness {
public:
    CWizardHarness();
    ~CWizardHarness();
    CWizardHarness(const CWizardHarness&) = delete;
    CWizardHarness& operator=(const CWizardHarness&) = delete;

    const std::string& ProgramFolder() const { return m_programFolder; }
    const std::string& TempFolder() const { return m_tempFolder; }
    // A scratch folder for sources and destinations.
    const std::string& WorkFolder() const { return m_workFolder; }

    // Message boxes: answers used in turn (IDOK when none is left).
    void AnswerBoxes(std::vector<int> answers);
    std::vector<ShownBox> Boxes() const;
    void ClearBoxes();
    // Texts of the boxes shown so far.
    std::vector<std::string> BoxTexts() const;

    // File dialogs: answers used in turn (cancelled when none is left).
    void AnswerFileDialogs(std::vector<std::optional<std::string>> answers);
    std::vector<FileDialogRequest> FileDialogs() const;

    // Shell requests: all answered with `result`.
    void AnswerShell(int result) { m_shellResult = result; }
    std::vector<ShellExecuteRequest> ShellRequests() const;
    void ClearShellRequests();

private:
    std::string m_root;
    std::string m_programFolder;
    std::string m_tempFolder;
    std::string m_workFolder;

    mutable std::mutex m_lock;
    std::deque<int> m_boxAnswers;
    std::vector<ShownBox> m_boxes;
    std::deque<std::optional<std::string>> m_fileAnswers;
    std::vector<FileDialogRequest> m_fileDialogs;
    std::vector<ShellExecuteRequest> m_shellRequests;
    int m_shellResult = kShellExecuteSuccess;
};

// Text of `key` in the language in use.
std::string Lang(const char* key);
// Two texts one below the other, as the start-up messages show them.
std::string Lang2(const char* first, const char* second);

// Registers the program's pictures and fonts, as the wizard does at start-up.
void InitWizardTestApplication();

// Gives this process a lock folder of its own, so that test processes running
// at once do not see each other's wizard as a second instance.
void IsolateInstanceLocks();

// Writes a damaged copy of corpus file `corpusFile` with the shared damage tool.
bool Damage(const std::string& kind, const std::string& corpusFile, const std::string& output);
// A sparse file of `size` bytes (costs no disk space).
bool MakeSparseFile(const std::string& path, std::uint64_t size);

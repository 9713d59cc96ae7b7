#include "wizard_harness.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/folders.h"
#include "platform/message_box.h"
#include "support/process.h"
#include "ui/controls/picture_resources.h"
#include "ui/dialogs/modal_runner.h"
#include "ui/settings/settings.h"

#include <QDialog>

namespace fs = std::filesystem;

namespace {

std::string MakeRoot() {
    std::string pattern = (fs::temp_directory_path() / "deckmend-wizard-XXXXXX").string();
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

void CopyProgramFiles(const std::string& to) {
    const fs::path build(DECKMEND_BUILD_DIR);
    fs::create_directories(fs::path(to) / "Lang");
    for (const auto& entry : fs::directory_iterator(build / "Lang"))
        fs::copy_file(entry.path(), fs::path(to) / "Lang" / entry.path().filename());
    for (const char* folder : {"help", "Tips"}) {
        fs::create_directories(fs::path(to) / folder);
        for (const auto& entry : fs::directory_iterator(build / folder))
            fs::copy_file(entry.path(), fs::path(to) / folder / entry.path().filename());
    }
    for (const char* name : {"Settings.INI", "Tips.Txt"})
        if (fs::exists(build / name))
            fs::copy_file(build / name, fs::path(to) / name);
}

}  // namespace

CWizardHarness::CWizardHarness() : m_root(MakeRoot()) {
    m_programFolder = m_root + "/program/";
    m_tempFolder = m_root + "/temp/";
    m_workFolder = m_root + "/documents/";
    fs::create_directories(m_tempFolder);
    fs::create_directories(m_workFolder);
    CopyProgramFiles(m_programFolder);
    // The user's settings folder of this test, never the real one.
    setenv("XDG_CONFIG_HOME", (m_root + "/config").c_str(), 1);
    InitSettings(m_programFolder);
    SetTempFolder(m_tempFolder);

    SetMessageBoxHandler([this](const MessageBoxRequest& box) {
        std::lock_guard lock(m_lock);
        m_boxes.push_back({box.text, box.caption, box.type, box.owner});
        if (m_boxAnswers.empty())
            return IDOK;
        const int answer = m_boxAnswers.front();
        m_boxAnswers.pop_front();
        return answer;
    });
    SetFileDialogHandler([this](const FileDialogRequest& request) -> std::optional<std::string> {
        std::lock_guard lock(m_lock);
        m_fileDialogs.push_back(request);
        if (m_fileAnswers.empty())
            return std::nullopt;
        auto answer = m_fileAnswers.front();
        m_fileAnswers.pop_front();
        return answer;
    });
    SetShellExecuteHandler([this](const ShellExecuteRequest& request) {
        std::lock_guard lock(m_lock);
        m_shellRequests.push_back(request);
        return m_shellResult;
    });
    SetModalRunner([](QDialog&) { return static_cast<int>(QDialog::Accepted); });
}

CWizardHarness::~CWizardHarness() {
    SetMessageBoxHandler({});
    SetFileDialogHandler({});
    SetShellExecuteHandler({});
    SetModalRunner({});
    SetTempFolder("");
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

void CWizardHarness::AnswerBoxes(std::vector<int> answers) {
    std::lock_guard lock(m_lock);
    m_boxAnswers.assign(answers.begin(), answers.end());
}

std::vector<ShownBox> CWizardHarness::Boxes() const {
    std::lock_guard lock(m_lock);
    return m_boxes;
}

void CWizardHarness::ClearBoxes() {
    std::lock_guard lock(m_lock);
    m_boxes.clear();
}

std::vector<std::string> CWizardHarness::BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : Boxes())
        texts.push_back(box.text);
    return texts;
}

void CWizardHarness::AnswerFileDialogs(std::vector<std::optional<std::string>> answers) {
    std::lock_guard lock(m_lock);
    m_fileAnswers.assign(answers.begin(), answers.end());
}

std::vector<FileDialogRequest> CWizardHarness::FileDialogs() const {
    std::lock_guard lock(m_lock);
    return m_fileDialogs;
}

std::vector<ShellExecuteRequest> CWizardHarness::ShellRequests() const {
    std::lock_guard lock(m_lock);
    return m_shellRequests;
}

void CWizardHarness::ClearShellRequests() {
    std::lock_guard lock(m_lock);
    m_shellRequests.clear();
}

std::string Lang(const char* key) { return LoadLangString(key); }

std::string Lang2(const char* first, const char* second) { return Lang(first) + "\n" + Lang(second); }

void IsolateInstanceLocks() {
    static const std::string folder = MakeRoot();
    ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
}

bool Damage(const std::string& kind, const std::string& corpusFile, const std::string& output) {
    const ProcessResult result = RunProcess(
        {"/usr/bin/env", "python3", SharedPath("tools/damage.py"), kind, "7", SharedPath("corpus/" + corpusFile), output});
    return result.exitCode == 0 && fs::exists(output);
}

bool MakeSparseFile(const std::string& path, std::uint64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    ::close(fd);
    return ok;
}

void InitWizardTestApplication() { InitControlResources(); }

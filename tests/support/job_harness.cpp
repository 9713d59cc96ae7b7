#include "support/job_harness.h"

#include <filesystem>
#include <mutex>

#include "automation/powerpoint_automation.h"
#include "platform/com_runtime.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "repair/io/mapped_file.h"
#include "repair/job/job_state.h"
#include "repair/job/messages.h"
#include "repair/job/repair_job.h"
#include "ui/settings/settings.h"

namespace {

class CRecorder : public CWnd {
public:
    CRecorder(std::string name, JobRecord& record) : m_name(std::move(name)), m_record(record) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        m_record.messages.push_back({m_name, message, wParam, lParam});
        if (m_name == "page" && message == WM_DESTROY)
            m_destroyed = true;
        return 0;
    }
    bool m_destroyed = false;

private:
    std::string m_name;
    JobRecord& m_record;
};

}  // namespace

bool JobRecord::Failed() const {
    for (const auto& m : messages)
        if (m.to == "frame" && m.message == WM_COMMAND && m.wParam == kStepStartPage)
            return true;
    return false;
}

JobRecord RunJob(const std::string& source, const std::string& tempFolder, bool cancelled) {
    InitSettings(DECKMEND_BUILD_DIR);
    SetTempFolder(tempFolder);
    g_mappedSource.SetPath(source);
    std::filesystem::path path(source);
    g_strSourceExt = path.extension().string().substr(path.has_extension() ? 1 : 0);
    g_strSourceTitle = path.stem().string();

    JobRecord record;
    std::mutex boxesLock;
    SetMessageBoxHandler([&](const MessageBoxRequest& box) {
        std::lock_guard lock(boxesLock);
        record.boxes.push_back(box.text);
        record.boxCaption = box.caption;
        return IDOK;
    });
    // Jobs run here without an office server, so that they end where the
    // office would take over; the office's part is tested through deckmend-repair.
    const auto office = CoRevokeServer(kPowerPointProgId);
    CQueuePump pump;
    RegisterMessagePump(&pump);
    {
        CRecorder frame("frame", record), page("page", record), animation("animation", record);
        page.SetParent(&frame);
        page.SetDlgItem(kRepairAnimationId, &animation);
        g_bRun = cancelled ? 0 : 1;
        CWinThread* thread = AfxBeginThread(RepairThreadProc, &page);
        pump.RunUntil([thread] { return thread->Finished(); }, std::chrono::milliseconds(10));
        thread->Join();
        delete thread;
    }
    RegisterMessagePump(nullptr);
    CoRestoreServer(kPowerPointProgId, office);
    SetMessageBoxHandler({});
    SetTempFolder({});
    g_bRun = 1;
    return record;
}

std::string Text(const char* key) {
    InitSettings(DECKMEND_BUILD_DIR);
    return LoadLangString(key);
}

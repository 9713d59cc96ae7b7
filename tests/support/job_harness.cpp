#include "support/job_harness.h"

#include <thread>

#include "automation/powerpoint_automation.h"
#include "platform/com_runtime.h"
#include "platform/folders.h"
#include "repair/job/job_state.h"
#include "ui/settings/settings.h"

JobRecord RunJob(const std::string& source, const std::string& tempFolder, const JobOptions& options) {
    InitSettings(DECKMEND_BUILD_DIR);
    JobRecord record;
    RepairRequest request;
    request.source = source;
    request.slidePictures = options.slidePictures;
    RepairContext context;
    context.tempFolder = tempFolder;
    context.progress = [&record](std::uint64_t done, std::uint64_t total) { record.progress.emplace_back(done, total); };
    context.phase = [&record](RepairPhase phase) { record.phases.push_back(phase); };
    const auto office = options.withOffice ? std::nullopt : CoRevokeServer(kPowerPointProgId);
    g_bRun = options.cancelled ? 0 : 1;
    std::thread worker([&] {
        if (options.onWorker)
            options.onWorker();
        record.result = RepairPresentation(request, context);
        CoUninitialize();
    });
    worker.join();
    if (!options.withOffice)
        CoRestoreServer(kPowerPointProgId, office);
    SetTempFolder({});
    g_bRun = 1;
    return record;
}

std::string Text(const char* key) {
    InitSettings(DECKMEND_BUILD_DIR);
    return LoadLangString(key);
}

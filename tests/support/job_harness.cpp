#include "support/job_harness.h"

#include <thread>

#include "automation/powerpoint_automation.h"
#include "platform/com_runtime.h"
#include "platform/folders.h"
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
    if (options.cancelled)
        context.cancel.Cancel();
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
    record.state = std::move(context.state);
    return record;
}

std::string Text(const char* key) {
    InitSettings(DECKMEND_BUILD_DIR);
    return LoadLangString(key);
}

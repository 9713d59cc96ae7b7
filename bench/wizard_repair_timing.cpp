// The wizard's time from pressing Repair to its save page, in a wizard that has
// already started, with the real office behind it; on the offscreen platform,
// with scripted dialogs. Each repair of the file is timed in turn, then the
// wizard goes Home for the next one, as a user repairing one file after
// another would.
//   wizard_repair_timing FILE [REPAIRS] [--cold]
// --cold ends the office after every repair, as the wizard did before it kept
// it warm. Prints one line per repair: "repair N: S s".
#include <QAbstractButton>
#include <QApplication>
#include <QtTest>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/main_frame.h"
#include "app/repair_ppt.h"
#include "automation/impress_server.h"
#include "platform/win_types.h"
#include "ui/pages/page_layout.h"
#include "ui/pages/repair_page.h"
#include "ui/pages/step_page.h"
#include "wizard_harness.h"

namespace {

constexpr int kRepairBoundMs = 600000;

// Clicks button `name` of the page that the wizard shows.
bool Click(CMainFrame* frame, const char* name) {
    QWidget* page = frame->CurrentPage();
    auto* button = page ? page->findChild<QAbstractButton*>(QString::fromLatin1(name)) : nullptr;
    if (!button || !button->isVisible() || !button->isEnabled())
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

bool WaitForSavePage(CMainFrame* frame) {
    return QTest::qWaitFor(
               [&] {
                   return !g_pRepairThread && RepairJobsFinished() &&
                          frame->CurrentPageId() != layout::kRepairPageId;
               },
               kRepairBoundMs) &&
           frame->CurrentPageId() == layout::kSavePageId;
}

// One repair of `source`, from the click on Repair to the save page; negative on failure.
double TimeOneRepair(CWizardHarness& harness, CMainFrame* frame, const std::string& source) {
    harness.AnswerFileDialogs({source});
    if (!Click(frame, "btnBrowse"))
        return -1;
    const auto start = std::chrono::steady_clock::now();
    if (!Click(frame, "btnRepair") || !WaitForSavePage(frame))
        return -1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    harness.AnswerBoxes({IDYES});  // leave the unsaved copy
    Click(frame, "btnHome");
    if (!QTest::qWaitFor([&] { return frame->CurrentPageId() == layout::kStartPageId; }, 10000))
        return -1;
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [REPAIRS] [--cold]\n", argv[0]);
        return 2;
    }
    const std::string source = argv[1];
    const int repairs = argc > 2 && std::strcmp(argv[2], "--cold") != 0 ? std::atoi(argv[2]) : 3;
    const bool cold = std::strcmp(argv[argc - 1], "--cold") == 0;

    IsolateInstanceLocks();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    InitWizardTestApplication();
    auto harness = std::make_unique<CWizardHarness>();
    KeepImpressServerWarm(cold ? std::chrono::milliseconds(0) : std::chrono::minutes(5));

    auto app = std::make_unique<CRepairPPT>(harness->ProgramFolder());
    if (!app->InitInstance() || !app->WaitForOfficeCheck() || !app->MainWindow()) {
        std::fprintf(stderr, "the wizard did not start\n");
        for (const std::string& text : harness->BoxTexts())
            std::fprintf(stderr, "  it said: %s\n", text.c_str());
        return 1;
    }
    int status = 0;
    for (int i = 1; i <= repairs; ++i) {
        const double seconds = TimeOneRepair(*harness, app->MainWindow(), source);
        if (seconds < 0) {
            std::fprintf(stderr, "repair %d did not reach the save page\n", i);
            status = 1;
            break;
        }
        std::printf("repair %d: %.2f s\n", i, seconds);
        std::fflush(stdout);
    }
    app->ExitInstance();
    app.reset();
    WaitForRepairJobs();
    harness.reset();
    return status;
}

// deckmend-wizard-screenshots [--all-languages] [OUTDIR]: renders the start
// page, the repair page half-way with its phase line and the save page with a
// recovery report and the preview of a corpus deck's first slides (made by the
// office, as a repair makes them) at the frame's 888 x 530
// pixels to PNG files, in English and German, or in all five languages
// (OUTDIR defaults to screenshots/ in the build folder).
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>

#include <cstdio>
#include <filesystem>

#include "app/main_frame.h"
#include "automation/powerpoint_automation.h"
#include "platform/qt/qt_message_pump.h"
#include "repair/job/messages.h"
#include "repair/io/working_files.h"
#include "support/process.h"
#include "ui/pages/repair_page.h"
#include "ui/pages/repair_phase_message.h"
#include "ui/pages/save_page.h"
#include "ui/pages/start_page.h"
#include "ui/settings/settings.h"
#include "wizard_harness.h"

namespace {

struct Language {
    int index;
    const char* tag;
};
constexpr Language kLanguages[] = {{0, "en"}, {2, "de"}};
// With --all-languages: French, Italian and Spanish as well.
constexpr Language kMoreLanguages[] = {{1, "fr"}, {3, "it"}, {4, "es"}};
constexpr int kHalfWay = 45;

void Click(QWidget* page, const char* name) {
    if (auto* button = page ? page->findChild<QAbstractButton*>(name) : nullptr)
        QTest::mouseClick(button, Qt::LeftButton);
}

bool Save(CMainFrame& frame, const QString& folder, const QString& name) {
    QTest::qWait(120);  // a few animation frames and timer ticks
    const QString path = folder + "/" + name + ".png";
    const bool saved = frame.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
}

// A package repaired in part: what the save page shows after a typical repair.
RecoveryReport SampleReport() {
    RecoveryReport report;
    report.outcome = RepairOutcome::RepairedInPart;
    report.method = RepairMethod::ContainerRebuilt;
    report.slides = 24;
    report.characters = 5812;
    report.pictures = 9;
    report.notes = 6;
    report.checkedInOffice = true;
    report.items = {{"ppt/slides/slide17.xml", ItemState::LeftOut, "cut off at the end of the file"},
                    {"ppt/media/image4.png", ItemState::Mended, "end of the data restored"},
                    {"[Content_Types].xml", ItemState::Regenerated, ""},
                    {"ppt/media/image7.png", ItemState::LeftOut, "no data"},
                    {"ppt/media/image8.png", ItemState::LeftOut, "no data"}};
    return report;
}

// Pictures of the first slides of `deck`, made by the office as the repair
// makes them; none without the office.
std::vector<std::string> OfficeSlidePictures(const std::string& deck, const std::string& folder) {
    std::vector<std::string> pictures;
    if (!g_pptAutomation.OpenPresentationReadOnly(deck).empty()) {
        const auto start = std::chrono::steady_clock::now();
        g_pptAutomation.ExportSlidePictures(folder, 8, 512, std::chrono::minutes(1), pictures);
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        std::printf("%zu slide pictures in %lld ms\n", pictures.size(), static_cast<long long>(spent.count()));
    }
    g_pptAutomation.ClosePowerPoint(FALSE, {}, 0);
    if (pictures.empty())
        std::printf("no slide pictures: the office did not make them\n");
    return pictures;
}

bool WaitForPage(CMainFrame& frame, int pageId) {
    return QTest::qWaitFor([&] { return !g_pRepairThread && RepairJobsFinished() && frame.CurrentPageId() == pageId; },
                           30000);
}

bool RenderPages(CWizardHarness& harness, const Language& language, const QString& folder,
                 const std::vector<std::string>& slidePictures) {
    SwitchLanguage(language.index);
    const std::string source = harness.WorkFolder() + "Quarterly review.pptx";
    const QString tag = QString::fromLatin1(language.tag);
    CMainFrame frame;
    if (!frame.Create())
        return false;
    frame.show();

    harness.AnswerFileDialogs({source});
    Click(frame.CurrentPage(), "btnBrowse");
    bool ok = Save(frame, folder, "start-page-" + tag);

    HoldNextRepair();  // the job waits at its first check: the page stays half-way
    Click(frame.CurrentPage(), "btnRepair");
    if (auto* page = qobject_cast<CRepairPage*>(frame.CurrentPage())) {
        SendMessageW(page, WM_REPAIR_PROGRESS, kHalfWay, 100);
        SendMessageW(page, WM_REPAIR_PHASE, static_cast<WPARAM>(RepairPhase::CheckingResult), 0);
        ok = Save(frame, folder, "repair-page-" + tag) && ok;
        page->JobToken().Cancel();
        page->JobToken().Release();
    } else {
        HoldNextRepair(false);
        ok = false;
    }
    ok = WaitForPage(frame, layout::kStartPageId) && ok;

    // A finished repair: the save page with a destination chosen.
    g_strWorkingPath.clear();
    g_strSourceExt = "pptx";
    g_strSourceTitle = "Quarterly review";
    MakeSparseFile(TempFilePath(kPackageResultName), 1000);
    SendMessageW(&frame, WM_COMMAND, kStepSavePage, 0);
    harness.AnswerFileDialogs({"/home/user/Documents/Repaired Quarterly review 6-12-2026, 15-7-3.pptx"});
    Click(frame.CurrentPage(), "btnBrowse");
    auto* page = qobject_cast<CSavePage*>(frame.CurrentPage());
    if (!page)
        return false;
    RecoveryReport report = SampleReport();
    report.slidePictures = slidePictures;
    page->SetRecoveryReport(report);
    ok = Save(frame, folder, "save-page-" + tag) && ok;
    // The third slide enlarged.
    if (auto* third = page->findChild<QAbstractButton*>("slide3")) {
        QTest::mouseClick(third, Qt::LeftButton);
        ok = Save(frame, folder, "save-page-slide-" + tag) && ok;
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    IsolateInstanceLocks();  // before Qt reads the runtime folder
    QApplication application(argc, argv);
    InitWizardTestApplication();
    QString folder = QStringLiteral(DECKMEND_BUILD_DIR "/screenshots");
    bool allLanguages = false;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--all-languages")
            allLanguages = true;
        else
            folder = QString::fromLocal8Bit(argv[i]);
    }
    QDir().mkpath(folder);

    CWizardHarness harness;
    CQtMessagePump pump;  // the job's messages run on this thread
    std::filesystem::copy_file(SharedPath("corpus/pptx/jod-test.pptx"), harness.WorkFolder() + "Quarterly review.pptx");
    const std::vector<std::string> slidePictures =
        OfficeSlidePictures(SharedPath("corpus/pptx/tika-testPPT_various2.pptx"), harness.WorkFolder());
    bool ok = true;
    for (const Language& language : kLanguages)
        ok = RenderPages(harness, language, folder, slidePictures) && ok;
    if (allLanguages)
        for (const Language& language : kMoreLanguages)
            ok = RenderPages(harness, language, folder, slidePictures) && ok;
    WaitForRepairJobs();
    return ok ? 0 : 1;
}

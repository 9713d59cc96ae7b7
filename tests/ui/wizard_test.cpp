// The wizard driven through its real widgets under the offscreen platform:
// start-up checks, the three pages, the repair job behind them, and every
// message the pages show, with scripted dialogs and message boxes.
#include <cstdlib>
#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QLineEdit>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <memory>
#include <set>
#include <thread>

#include "app/main_frame.h"
#include "app/repair_ppt.h"
#include "automation/impress_server.h"
#include "automation/powerpoint_automation.h"
#include "platform/com_runtime.h"
#include "platform/com_windows.h"
#include "platform/file_ops.h"
#include "platform/folders.h"
#include "platform/instance_lock.h"
#include "platform/message_box.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_message_pump.h"
#include "platform/ini_file.h"
#include "repair/job/messages.h"
#include "repair/io/working_files.h"
#include "support/libzip_reader.h"
#include "support/ole_reader.h"
#include "support/process.h"
#include "support/recording_server.h"
#include "ui/controls/xcmd_btn.h"
#include "ui/dialogs/tips_dlg.h"
#include "ui/pages/animate_ctrl.h"
#include "ui/pages/page_layout.h"
#include "ui/pages/repair_page.h"
#include "ui/pages/repair_phase_message.h"
#include "ui/pages/save_page.h"
#include "ui/pages/shell_targets.h"
#include "ui/pages/slide_preview.h"
#include "ui/pages/start_page.h"
#include "ui/pages/web_addresses.h"
#include "ui/settings/settings.h"
#include "wizard_harness.h"

namespace fs = std::filesystem;

using ProgressMessages = QList<QPair<qlonglong, qlonglong>>;

namespace {

constexpr int kJobTimeoutMs = 60000;
constexpr int kOfficeJobTimeoutMs = 240000;

template <typename Page>
Page* PageOf(CMainFrame* frame) {
    return frame ? qobject_cast<Page*>(frame->CurrentPage()) : nullptr;
}

QWidget* Child(QWidget* page, const char* name) { return page ? page->findChild<QWidget*>(name) : nullptr; }

void Click(QWidget* page, const char* name) {
    auto* button = qobject_cast<QAbstractButton*>(Child(page, name));
    QVERIFY2(button, name);
    QVERIFY2(button->isVisible() && button->isEnabled(), name);
    QTest::mouseClick(button, Qt::LeftButton);
}

QString EditText(QWidget* page) {
    auto* edit = qobject_cast<QLineEdit*>(Child(page, "editPath"));
    return edit ? edit->text() : QStringLiteral("<no edit>");
}

std::string ReadText(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

}  // namespace

class WizardTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CWizardHarness> m_harness;
    std::unique_ptr<CRecordingServer> m_powerPoint;
    std::unique_ptr<CRepairPPT> m_app;

    // Starts the wizard against a stand-in PowerPoint 2010 and returns its frame.
    CMainFrame* StartWizard() {
        if (!m_powerPoint) {
            m_powerPoint = std::make_unique<CRecordingServer>();
            // Every presentation it opens shows one slide without text, so that
            // a repaired package passes its check in the office.
            m_powerPoint->Script("Slides.Count", {FakeAnswer::I4(1)});
            m_powerPoint->Script("Shapes.Count", {FakeAnswer::I4(0)});
        }
        m_app = std::make_unique<CRepairPPT>(m_harness->ProgramFolder());
        if (!m_app->InitInstance() || !m_app->WaitForOfficeCheck())
            return nullptr;
        return m_app->MainWindow();
    }

    // Chooses `path` on the start page with Browse.
    void ChooseSource(CMainFrame* frame, const std::string& path) {
        m_harness->AnswerFileDialogs({path});
        Click(PageOf<CBaseWndStep>(frame), "btnBrowse");
    }

    // Waits for the end of the job (its thread gone, so every message it sent
    // was handled) and tells whether the wizard then shows page `pageId`.
    bool WaitForPage(CMainFrame* frame, int pageId, int timeoutMs = kJobTimeoutMs) {
        const bool ended = QTest::qWaitFor(
            [&] {
                return !g_pRepairThread && RepairJobsFinished() && frame->CurrentPageId() != layout::kRepairPageId;
            },
            timeoutMs);
        return ended && frame->CurrentPageId() == pageId;
    }

    // Starts a repair of `source` that waits at its first check of its cancel token.
    CRepairPage* StartHeldRepair(CMainFrame* frame, const std::string& source) {
        ChooseSource(frame, source);
        HoldNextRepair();
        Click(PageOf<CBaseWndStep>(frame), "btnRepair");
        return PageOf<CRepairPage>(frame);
    }

    // The wizard, repairing a damaged package held at its first check of its cancel token.
    CRepairPage* HeldPackageRepair(CMainFrame*& frame) {
        frame = StartWizard();
        const std::string source = frame ? DamagedPackage() : std::string();
        return source.empty() ? nullptr : StartHeldRepair(frame, source);
    }

    std::string DamagedPackage(const char* kind = "cut-central-directory") {
        const std::string path = m_harness->WorkFolder() + "damaged deck.pptx";
        if (!Damage(kind, "pptx/jod-test.pptx", path))
            return {};
        return path;
    }

    // Saves the working copy through the save page as `destination`.
    void SaveAs(CMainFrame* frame, const std::string& destination) {
        m_harness->AnswerFileDialogs({destination});
        Click(PageOf<CSavePage>(frame), "btnBrowse");
        QCOMPARE(EditText(PageOf<CSavePage>(frame)).toStdString(), destination);
        Click(PageOf<CSavePage>(frame), "btnSave");
    }

    void RepairAndSave(const std::string& source, const std::string& destination, int timeoutMs) {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        ChooseSource(frame, source);
        Click(PageOf<CBaseWndStep>(frame), "btnRepair");
        QVERIFY(PageOf<CRepairPage>(frame));
        QVERIFY2(WaitForPage(frame, layout::kSavePageId, timeoutMs),
                 m_harness->BoxTexts().empty() ? "no save page" : m_harness->BoxTexts().back().c_str());
        QVERIFY(m_harness->Boxes().empty());
        SaveAs(frame, destination);
        QVERIFY(Contains(m_harness->BoxTexts(), Lang("IDS_SAVE_COMPLETED")));
        QVERIFY(QTest::qWaitFor([&] { return PageOf<CBaseWndStep>(frame) != nullptr; }));
        QVERIFY(EditText(PageOf<CBaseWndStep>(frame)).isEmpty());  // saved: the next file is a new one
        QVERIFY(fs::exists(destination));
        QVERIFY(!fs::exists(WorkingCopyPath()));
        const auto shell = m_harness->ShellRequests();
        QVERIFY(!shell.empty());
        QCOMPARE(shell.back().verb, std::string("explore"));
        QCOMPARE(shell.back().file, fs::path(destination).parent_path().string());
    }

private slots:
    void init() {
        m_harness = std::make_unique<CWizardHarness>();
    }

    void cleanup() {
        HoldNextRepair(false);
        if (m_app)
            m_app->ExitInstance();
        m_app.reset();
        WaitForRepairJobs();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_powerPoint.reset();
        m_harness.reset();
    }

    // --- Qt platform layer -------------------------------------------------

    // Answers the next modal message box by pressing `button` once it is shown.
    static void PressWhenShown(QMessageBox::StandardButton button, QString* seenText) {
        auto* timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [timer, button, seenText] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            *seenText = box->windowTitle() + "|" + box->text();
            box->button(button)->click();
            timer->deleteLater();
        });
        timer->start(10);
    }

    void qtMessageBoxes_data() {
        QTest::addColumn<uint>("type");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("answer");
        QTest::newRow("question, No") << (MB_YESNO | MB_ICONQUESTION) << int(QMessageBox::No) << IDNO;
        QTest::newRow("question, Yes") << (MB_YESNO | MB_ICONQUESTION) << int(QMessageBox::Yes) << IDYES;
        QTest::newRow("information") << uint(MB_ICONINFORMATION) << int(QMessageBox::Ok) << IDOK;
    }

    void qtMessageBoxes() {
        QFETCH(uint, type);
        QFETCH(int, button);
        QFETCH(int, answer);
        const MessageBoxHandler scripted = SetMessageBoxHandler({});
        InstallQtDialogs();
        QString seen;
        PressWhenShown(static_cast<QMessageBox::StandardButton>(button), &seen);
        const int result = MessageBoxW(nullptr, "Question?", "Caption", type);
        SetMessageBoxHandler(scripted);
        QCOMPARE(result, answer);
        QCOMPARE(seen, QStringLiteral("Caption|Question?"));
    }

    void boxAskedForOnAWorkerIsShownOnTheUiThread() {
        const MessageBoxHandler scripted = SetMessageBoxHandler({});
        InstallQtDialogs();
        QString seen;
        PressWhenShown(QMessageBox::Ok, &seen);
        std::atomic<int> result{0};
        std::thread worker([&] { result = MessageBoxW(nullptr, "From the job", "Information", MB_ICONINFORMATION); });
        const bool answered = QTest::qWaitFor([&] { return result.load() != 0; }, 10000);
        worker.join();
        SetMessageBoxHandler(scripted);
        QVERIFY(answered);
        QCOMPARE(result.load(), IDOK);
        QCOMPARE(seen, QStringLiteral("Information|From the job"));
    }

    void qtSaveDialogOffersTheFilterAndAddsTheExtension() {
        const FileDialogHandler scripted = SetFileDialogHandler({});
        InstallQtDialogs();
        const QString folder = QString::fromStdString(m_harness->WorkFolder());
        QStringList filters;
        auto* timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [&, timer] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            filters = dialog->nameFilters();
            dialog->setDirectory(folder);
            dialog->selectFile(folder + "typed name");
            static_cast<QDialog*>(dialog)->accept();
            timer->deleteLater();
        });
        timer->start(10);
        const std::optional<std::string> path =
            ShowFileDialog({nullptr, FileDialogKind::Save, SaveFilterFor("pptx").filter, "pptx", "Repaired deck", false,
                            true});
        SetFileDialogHandler(scripted);
        QCOMPARE(filters, QStringList{"Microsoft PowerPoint Files (*.pptx)"});
        QVERIFY(path.has_value());
        QCOMPARE(QString::fromStdString(*path), folder + "typed name.pptx");
    }

    void pumpHoldKeepsWorkerMessagesBack() {
        struct CCounter : CWnd {
            std::atomic<int> calls{0};
            LRESULT WindowProc(UINT, WPARAM wParam, LPARAM) override {
                ++calls;
                return static_cast<LRESULT>(wParam) + 1;
            }
        } target;
        CQtMessagePump pump;
        std::atomic<bool> done{false};
        std::atomic<LRESULT> result{0};
        CQtMessagePump::Hold();
        std::thread worker([&] {
            result = SendMessageW(&target, WM_USER, 41, 0);
            done = true;
        });
        QTest::qWait(150);  // a modal box's nested loop would run here
        QCOMPARE(target.calls.load(), 0);
        QVERIFY(!done);
        CQtMessagePump::Release();
        QVERIFY(QTest::qWaitFor([&] { return done.load(); }, 10000));
        worker.join();
        QCOMPARE(result.load(), LRESULT{42});
        QCOMPARE(target.calls.load(), 1);
    }

    // --- Start-up ---------------------------------------------------------

    void startupShowsTheStartPageInAFixedFrame() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        QVERIFY(frame->isVisible());
        QCOMPARE(frame->size(), QSize(layout::kFrameWidth, layout::kFrameHeight));
        QCOMPARE(frame->CurrentPageId(), layout::kStartPageId);
        QCOMPARE(g_nPowerPointVersion, 2010);
        QVERIFY(m_harness->Boxes().empty());
        // The updater is asked to check silently at every start; its absence is no error.
        const auto shell = m_harness->ShellRequests();
        QVERIFY(!shell.empty());
        QCOMPARE(shell.front().file, ProgramFolderFile("dmupdate.EXE"));
        QCOMPARE(shell.front().parameters, std::string("/SilentCheck /NoIcon /NoUpdateSelf"));
    }

    std::string ProgramFolderFile(const char* name) { return m_harness->ProgramFolder() + name; }

    void startupChecks_data() {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("PowerPoint window open") << "window" << true << "IDS_WORD1|IDS_WORD2";
        QTest::newRow("PowerPoint not installed") << "absent" << true << "IDS_WORD3|IDS_WORD10";
        QTest::newRow("PowerPoint 97") << "97" << true << "IDS_WORD4|IDS_WORD11";
    }

    void startupChecks() {
        QFETCH(QString, situation);
        QFETCH(bool, result);
        QFETCH(QString, message);
        HWND openWindow = nullptr;
        std::optional<CoServerRegistration> revoked;
        if (situation == "window")
            openWindow = CreateFrameWindow("PP12FrameClass");
        else if (situation == "absent")
            revoked = CoRevokeServer(kPowerPointProgId);
        else
            m_powerPoint = std::make_unique<CRecordingServer>("PP97FrameClass");

        m_app = std::make_unique<CRepairPPT>(m_harness->ProgramFolder());
        if (situation != "absent" && !m_powerPoint)
            m_powerPoint = std::make_unique<CRecordingServer>();
        const BOOL started = m_app->InitInstance();
        // The office check runs behind the window; a failed one closes it.
        const bool windowFirst = m_app->MainWindow() && m_app->MainWindow()->isVisible();
        const bool checked = m_app->WaitForOfficeCheck();
        if (openWindow)
            DestroyFrameWindow(openWindow);
        if (situation == "absent")
            CoRestoreServer(kPowerPointProgId, revoked);

        QCOMPARE(started != FALSE, result);
        QCOMPARE(windowFirst, situation != "window");
        QVERIFY(!checked);
        QVERIFY(!m_app->MainWindow());
        const auto boxes = m_harness->Boxes();
        QCOMPARE(boxes.size(), std::size_t{1});
        const QStringList keys = message.split('|');
        QCOMPARE(boxes[0].text, Lang2(keys[0].toLatin1(), keys[1].toLatin1()));
        QCOMPARE(boxes[0].caption, Lang("IDS_INFORMATION"));
        QCOMPARE(boxes[0].type, MB_ICONINFORMATION);
        QVERIFY(!boxes[0].owner);
    }

    void windowComesBeforeTheOfficeAnswers() {
        m_powerPoint = std::make_unique<CRecordingServer>();
        m_app = std::make_unique<CRepairPPT>(m_harness->ProgramFolder());
        const std::string path = m_harness->WorkFolder() + "deck.pptx";
        QVERIFY(MakeSparseFile(path, 4096));
        m_app->SetSourceToOpen(path);
        QVERIFY(m_app->InitInstance());
        CMainFrame* frame = m_app->MainWindow();
        // Shown at once; the answer is taken in the event loop, which has not run yet.
        QVERIFY(frame && frame->isVisible());
        QVERIFY(!m_app->OfficeCheckDone());
        auto* repair = qobject_cast<CXCmdBtn*>(Child(frame->CurrentPage(), "btnRepair"));
        QVERIFY(repair);
        QVERIFY(!repair->isEnabled());
        QCOMPARE(repair->cursor().shape(), Qt::BusyCursor);
        // Enter in the path field waits too.
        QTest::keyClick(Child(frame->CurrentPage(), "editPath"), Qt::Key_Return);
        QCOMPARE(frame->CurrentPageId(), layout::kStartPageId);
        QVERIFY(m_app->WaitForOfficeCheck());
        QVERIFY(repair->isEnabled());
        QCOMPARE(repair->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(g_nPowerPointVersion, 2010);
        QVERIFY(m_harness->Boxes().empty());
    }

    void secondInstanceIsRefused() {
        CNamedMutex first(kInstanceLockName);
        QVERIFY(first.Acquire());
        m_powerPoint = std::make_unique<CRecordingServer>();
        m_app = std::make_unique<CRepairPPT>(m_harness->ProgramFolder());
        QCOMPARE(m_app->InitInstance(), FALSE);
        QVERIFY(!m_app->MainWindow());
        const auto boxes = m_harness->Boxes();
        QCOMPARE(boxes.size(), std::size_t{1});
        QCOMPARE(boxes[0].text, Lang2("IDS_RUNNING1", "IDS_RUNNING2"));
        QCOMPARE(boxes[0].caption, Lang("IDS_RUNNING3"));
        QCOMPARE(boxes[0].type, MB_ICONERROR);
        // The first instance keeps its lock.
        QVERIFY(first.Held());
    }

    // --- Main frame -------------------------------------------------------

    void startCommandReplacesTheStartPageWithAFreshOne_data() {
        QTest::addColumn<int>("wParam");
        QTest::newRow("low word") << kStepStartPage;
        QTest::newRow("high word too") << (kStepStartPage | (kStepStartPage << 16));
    }

    void startCommandReplacesTheStartPageWithAFreshOne() {
        QFETCH(int, wParam);
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        QPointer<QWidget> before = frame->CurrentPage();
        SendMessageW(frame, WM_COMMAND, static_cast<WPARAM>(wParam), 0);
        QVERIFY(PageOf<CBaseWndStep>(frame));
        QVERIFY(frame->CurrentPage() != before.data());
        QVERIFY(QTest::qWaitFor([&] { return before.isNull(); }));
        QCOMPARE(frame->findChildren<CStepPage*>().size(), 1);
    }

    void closingTheFrameDeletesTheWorkingFiles() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        for (const char* name : {kPackageResultName, "__working.ppt", "__working.pps"})
            QVERIFY(MakeSparseFile(TempFilePath(name), 10));
        QVERIFY(frame->close());
        m_app->ExitInstance();
        for (const char* name : {kPackageResultName, "__working.ppt", "__working.pps"})
            QVERIFY2(!fs::exists(TempFilePath(name)), name);
    }

    // --- Start page -------------------------------------------------------

    void repairWithoutAFileAsksForOne() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        Click(PageOf<CBaseWndStep>(frame), "btnRepair");
        QCOMPARE(m_harness->BoxTexts(), std::vector<std::string>{Lang("IDS_WORD5")});
        QCOMPARE(m_harness->Boxes()[0].caption, Lang("IDS_INFORMATION"));
        QCOMPARE(frame->CurrentPageId(), layout::kStartPageId);
    }

    void repairOfAVanishedFileIsRefused() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        const std::string path = m_harness->WorkFolder() + "gone.pptx";
        QVERIFY(MakeSparseFile(path, 4096));
        ChooseSource(frame, path);
        fs::remove(path);
        Click(PageOf<CBaseWndStep>(frame), "btnRepair");
        QCOMPARE(m_harness->BoxTexts(), std::vector<std::string>{Lang("IDS_WORD9")});
        QCOMPARE(m_harness->Boxes()[0].type, MB_ICONWARNING);
        // The path stays for another try once the file is back.
        QCOMPARE(EditText(PageOf<CBaseWndStep>(frame)).toStdString(), path);
        QCOMPARE(frame->CurrentPageId(), layout::kStartPageId);
    }

    void repairOfAFolderSaysSo() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        ChooseSource(frame, m_harness->WorkFolder());
        Click(PageOf<CBaseWndStep>(frame), "btnRepair");
        QCOMPARE(m_harness->BoxTexts(), std::vector<std::string>{Lang("IDS_IS_FOLDER")});
        QCOMPARE(m_harness->Boxes()[0].type, MB_ICONWARNING);
        QCOMPARE(frame->CurrentPageId(), layout::kStartPageId);
        QCOMPARE(EditText(PageOf<CBaseWndStep>(frame)).toStdString(), m_harness->WorkFolder());
    }

    void repairNeedsTheFileSizePlus100MbFree() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        std::uint64_t freeBytes = 0;
        QVERIFY(GetDiskFreeSpaceExW(GetTempPathW(), freeBytes));
        // A sparse file just too large: free space less the reserve, plus one byte.
        const std::uint64_t size = freeBytes - static_cast<std::uint64_t>(kRepairSpaceReserve) + (1u << 20);
        const std::string path = m_harness->WorkFolder() + "huge.pptx";
        QVERIFY(MakeSparseFile(path, size));
        ChooseSource(frame, path);
        Click(PageOf<CBaseWndStep>(frame), "btnRepair");
        const std::string expected =
            Lang("IDS_LOWDIKSPACE_TO_REPAIR") + " " + std::to_string(size / 1024 / 1024 + 1) + " MB";
        QCOMPARE(m_harness->BoxTexts(), std::vector<std::string>{expected});
        QCOMPARE(m_harness->Boxes()[0].type, MB_ICONWARNING);
        QCOMPARE(EditText(PageOf<CBaseWndStep>(frame)).toStdString(), path);
        QCOMPARE(frame->CurrentPageId(), layout::kStartPageId);
    }

    void spaceRule_data() {
        QTest::addColumn<qulonglong>("size");
        QTest::addColumn<qulonglong>("freeBytes");
        QTest::addColumn<bool>("enough");
        const qulonglong mb = 1024 * 1024;
        QTest::newRow("1 MB, 100.5 MB free") << mb << 100 * mb + mb / 2 << false;
        QTest::newRow("1 MB, exactly 101 MB free") << mb << 101 * mb << true;
        QTest::newRow("less than the reserve free") << qulonglong{1} << 50 * mb << false;
        QTest::newRow("nothing free") << qulonglong{0} << qulonglong{0} << false;
        QTest::newRow("empty file, reserve free") << qulonglong{0} << 100 * mb << true;
    }

    void spaceRule() {
        QFETCH(qulonglong, size);
        QFETCH(qulonglong, freeBytes);
        QFETCH(bool, enough);
        QCOMPARE(EnoughSpaceToRepair(size, freeBytes), enough);
    }

    void openDialogOffersPackagesByVersion_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("packages");
        for (int version : {2000, 2002, 2003})
            QTest::newRow(qPrintable(QString::number(version))) << version << false;
        for (int version : {2007, 2010})
            QTest::newRow(qPrintable(QString::number(version))) << version << true;
    }

    void openDialogOffersPackagesByVersion() {
        QFETCH(int, version);
        QFETCH(bool, packages);
        QCOMPARE(OpenFilterFor(version).find("*.pptx") != std::string::npos, packages);
    }

    void browseSetsTheChosenFileAndCancelKeepsIt() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        const std::string path = m_harness->WorkFolder() + "My Deck.PPT";
        ChooseSource(frame, path);
        auto dialogs = m_harness->FileDialogs();
        QCOMPARE(dialogs.size(), std::size_t{1});
        QCOMPARE(dialogs[0].kind, FileDialogKind::Open);
        QVERIFY(dialogs[0].fileMustExist);
        QCOMPARE(dialogs[0].filter, OpenFilterFor(2010));
        QCOMPARE(EditText(PageOf<CBaseWndStep>(frame)).toStdString(), path);
        QCOMPARE(g_strSourceExt, std::string("PPT"));
        QCOMPARE(g_strSourceTitle, std::string("My Deck"));
        QCOMPARE(g_strSourcePath, path);

        QVERIFY(MakeSparseFile(TempFilePath(kPackageResultName), 10));
        Click(PageOf<CBaseWndStep>(frame), "btnBrowse");  // cancelled
        QCOMPARE(EditText(PageOf<CBaseWndStep>(frame)).toStdString(), path);
        QVERIFY(g_strSourceTitle.empty());
        QVERIFY(!fs::exists(TempFilePath(kPackageResultName)));
    }

    void openDialogOffersAllFilesAndEveryExtension_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("patterns");
        QTest::newRow("2003") << 2003 << "*.ppt *.pps *.pot";
        QTest::newRow("2010") << 2010 << "*.ppt *.pps *.pot *.pptx *.pptm *.ppsx *.potx";
    }

    void openDialogOffersAllFilesAndEveryExtension() {
        QFETCH(int, version);
        QFETCH(QString, patterns);
        const QStringList filters = QtFiltersOf(OpenFilterFor(version));
        QCOMPARE(filters.size(), 2);
        QVERIFY2(filters[0].endsWith(QStringLiteral("(") + patterns + QStringLiteral(")")), qPrintable(filters[0]));
        QCOMPARE(filters[1], QString::fromStdString(Lang("IDS_ALL_FILES")) + QStringLiteral(" (*)"));
        // The save dialog's single filter is read as before.
        QCOMPARE(QtFiltersOf(SaveFilterFor("ppt").filter),
                 QStringList{QStringLiteral("Microsoft PowerPoint Files (*.ppt)")});
    }

    void typedPathIsRepairedOnEnter() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        const std::string source = DamagedPackage();
        QVERIFY(!source.empty());
        auto* edit = qobject_cast<QLineEdit*>(Child(PageOf<CBaseWndStep>(frame), "editPath"));
        QVERIFY(edit && !edit->isReadOnly());
        QTest::keyClicks(edit, QString::fromStdString(source));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(PageOf<CRepairPage>(frame));
        QCOMPARE(g_strSourcePath, source);
        QCOMPARE(g_strSourceTitle, std::string("damaged deck"));
        QCOMPARE(g_strSourceExt, std::string("pptx"));
        QVERIFY(WaitForPage(frame, layout::kSavePageId));
    }

    static std::unique_ptr<QMimeData> FilesDrag(const QStringList& paths) {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << (path.startsWith(QStringLiteral("http")) ? QUrl(path) : QUrl::fromLocalFile(path));
        data->setUrls(urls);
        return data;
    }

    void droppedFileIsChosen_data() {
        QTest::addColumn<QStringList>("dragged");
        QTest::addColumn<bool>("taken");
        QTest::newRow("one file") << QStringList{"/tmp/deck one.pptx"} << true;
        QTest::newRow("two files") << QStringList{"/tmp/a.ppt", "/tmp/b.ppt"} << false;
        QTest::newRow("web address") << QStringList{"https://example.org/deck.pptx"} << false;
    }

    void droppedFileIsChosen() {
        QFETCH(QStringList, dragged);
        QFETCH(bool, taken);
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        auto* page = PageOf<CBaseWndStep>(frame);
        QVERIFY(page->acceptDrops());
        const std::unique_ptr<QMimeData> data = FilesDrag(dragged);
        const QPoint where = layout::kPathRect.ToQRect().center();
        QDragEnterEvent enter(where, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(page, &enter);
        QCOMPARE(enter.isAccepted(), taken);
        QDropEvent drop(where, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(page, &drop);
        QCOMPARE(EditText(page), taken ? dragged[0] : QString());
        if (taken) {
            QCOMPARE(g_strSourceTitle, std::string("deck one"));
            QCOMPARE(g_strSourcePath, dragged[0].toStdString());
        }
    }

    void commandLineFileIsPreselected() {
        m_powerPoint = std::make_unique<CRecordingServer>();
        m_app = std::make_unique<CRepairPPT>(m_harness->ProgramFolder());
        const std::string path = m_harness->WorkFolder() + "from the desktop.ppt";
        m_app->SetSourceToOpen(path);
        QVERIFY(m_app->InitInstance());
        QVERIFY(m_app->WaitForOfficeCheck());
        CMainFrame* frame = m_app->MainWindow();
        QVERIFY(frame);
        QCOMPARE(EditText(PageOf<CBaseWndStep>(frame)).toStdString(), path);
        QCOMPARE(g_strSourceTitle, std::string("from the desktop"));
        QCOMPARE(g_strSourceExt, std::string("ppt"));
    }

    void focusIsVisibleOnEveryButton() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        QApplication::setActiveWindow(frame);
        QVERIFY(QTest::qWaitForWindowActive(frame));
        int checked = 0;
        for (CXCmdBtn* button : frame->CurrentPage()->findChildren<CXCmdBtn*>()) {
            if (!button->isVisible() || !button->isEnabled() || button->focusPolicy() == Qt::NoFocus)
                continue;
            frame->CurrentPage()->setFocus();
            const QImage without = button->grab().toImage();
            button->setFocus(Qt::TabFocusReason);
            QVERIFY2(button->hasFocus(), qPrintable(button->objectName()));
            QVERIFY2(button->grab().toImage() != without, qPrintable(button->objectName()));
            ++checked;
        }
        QVERIFY(checked >= 4);  // Browse, Repair, the header links, the tips
    }

    void everyControlHasAnAccessibleName() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        const auto check = [](QWidget* page) {
            for (QWidget* control : page->findChildren<QWidget*>()) {
                if (!control->isVisibleTo(page) || !(qobject_cast<CXCmdBtn*>(control) || qobject_cast<QLineEdit*>(control)))
                    continue;
                QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
            }
            for (const char* link : {"btnHelp", "btnFaq", "btnSocial"})
                QVERIFY2(!Child(page, link)->accessibleDescription().isEmpty(), link);
        };
        check(frame->CurrentPage());
        QCOMPARE(Child(frame->CurrentPage(), "editPath")->accessibleName().toStdString(), Lang("IDS_ACC_SOURCE"));
        CSavePage* save = SavePageWithWorkingCopy(frame, 100);
        QVERIFY(save);
        check(save);
        QCOMPARE(Child(save, "btnHome")->accessibleName().toStdString(), Lang("IDS_ACC_HOME"));
        // Names follow a language switch.
        SendMessageW(save, WM_COMMAND, layout::kIdLanguageFirst + 2, 0);
        QCOMPARE(Child(save, "btnHome")->accessibleName(), QStringLiteral("Zurück zur Startseite"));
    }

    // --- Header -----------------------------------------------------------

    void helpMenuListsAllLanguagesAndSwitchesTheTexts() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        auto* page = PageOf<CBaseWndStep>(frame);
        QStringList offered;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            auto* languages = menu->findChild<QMenu*>("languageMenu");
            QVERIFY(languages);
            for (QAction* action : languages->actions())
                offered << action->text();
            QAction* german = languages->findChild<QAction*>("language2");
            QVERIFY(german);
            german->trigger();
            menu->close();
        });
        Click(page, "btnHelp");
        QCOMPARE(offered, QStringList({"English", "Français", "Deutsch", "Italiano", "Español"}));
        QCOMPARE(ReadLanguageIndex(), 2);
        QVERIFY(g_strLanguageIni.ends_with("Lang/German.INI"));
        auto* repair = qobject_cast<CXCmdBtn*>(Child(page, "btnRepair"));
        QCOMPARE(repair->m_strText.toStdString(), Lang("IDS_REPAIR"));
        QVERIFY(repair->m_strText != QStringLiteral("Repair"));
        SwitchLanguage(0);
    }

    void tipsButtonMakesRoomForALongTip_data() {
        QTest::addColumn<QString>("tip");
        QTest::addColumn<bool>("widened");
        QTest::newRow("short tip") << "Keep the damaged file." << false;
        QTest::newRow("long tip") << QString("Save the repaired presentation under a new name and keep the damaged "
                                             "file until you have checked the result.")
                                  << true;
    }

    void tipsButtonMakesRoomForALongTip() {
        QFETCH(QString, tip);
        QFETCH(bool, widened);
        {
            QFile tips(QString::fromStdString(m_harness->ProgramFolder() + "Tips.Txt"));
            QVERIFY(tips.open(QIODevice::WriteOnly | QIODevice::Truncate));
            tips.write(tip.toUtf8() + "\n");
        }
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        auto* button = qobject_cast<CXCmdBtn*>(Child(frame->CurrentPage(), "btnTips"));
        QVERIFY(button && button->isVisible());
        QCOMPARE(button->m_strSubText, tip);
        const QRect expected = layout::kTipsRect.ToQRect();
        QCOMPARE(button->geometry().right(), expected.right());
        QCOMPARE(button->geometry().top(), expected.top());
        QCOMPARE(button->geometry().left() < expected.left(), widened);
        QVERIFY(button->geometry().left() >= layout::kTipsLeftmost);
    }

    void helpMenuAndTipsSpeakTheLanguageInUse() {
        // The first tip (a wizard run from build/ may have moved the copied counter).
        WritePrivateProfileStringW(kSettingsSection, "IDS_TIPS", "0", g_strSettingsIni);
        QVERIFY(SwitchLanguage(3));
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        auto* page = PageOf<CBaseWndStep>(frame);
        QStringList items;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction* action : menu->actions())
                items << action->text();
            menu->close();
        });
        Click(page, "btnHelp");
        QCOMPARE(items, QStringList({"Lingua", "Guida", "Assistenza", "Aggiornamento", "Informazioni"}));
        auto* tips = qobject_cast<CXCmdBtn*>(Child(page, "btnTips"));
        QVERIFY(tips);
        QVERIFY(tips->m_strSubText.startsWith(QStringLiteral("Deckmend non modifica")));
        // Back in English the same tip reads from the tips file.
        SendMessageW(page, WM_COMMAND, layout::kIdLanguageFirst, 0);
        QVERIFY(tips->m_strSubText.startsWith(QStringLiteral("Deckmend never changes")));
    }

    void tipLabelNeverRunsIntoTheTip_data() {
        QTest::addColumn<QString>("caption");
        QTest::newRow("English") << "Tip:";
        QTest::newRow("Italian") << "Suggerimento:";
        QTest::newRow("French") << "Astuce :";
    }

    void tipLabelNeverRunsIntoTheTip() {
        QFETCH(QString, caption);
        const CaptionLayout text = LayoutCaption(layout::kTipsPictureSize, static_cast<int>(caption.size()), true,
                                                 g_bWindows6);
        QFont font(QString::fromLatin1(text.face));
        font.setPointSizeF(text.points);
        const QFontMetrics metrics(font);
        const QRect place = SubTextRectAfter(text, metrics, caption);
        QVERIFY(place.left() >= text.captionRect.left() + metrics.horizontalAdvance(caption + QLatin1Char(' ')));
        QVERIFY(place.left() >= text.subTextRect.left());
        QCOMPARE(place.width(), text.subTextRect.width());
    }

    void headerLinksOpenTheProjectPages() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        m_harness->ClearShellRequests();
        Click(PageOf<CBaseWndStep>(frame), "btnFaq");
        Click(PageOf<CBaseWndStep>(frame), "btnSocial");
        const auto shell = m_harness->ShellRequests();
        QCOMPARE(shell.size(), std::size_t{2});
        QCOMPARE(shell[0].file, std::string(web::kFaqPage));
        QCOMPARE(shell[1].file, std::string(web::kSocialPage));
        QVERIFY(m_harness->Boxes().empty());
    }

    void shellFailures_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("address");  // "help": the help page in the language in use
        QTest::addColumn<QString>("retried");
        QTest::newRow("help without a handler") << layout::kIdHelpFile << SE_ERR_NOASSOC << "help" << "iexplore.exe";
        QTest::newRow("update not found") << layout::kIdUpdate << SE_ERR_FNF << web::kUpdatePage << "";
        QTest::newRow("support without a browser") << layout::kIdSupport << SE_ERR_NOASSOC << web::kSupportPage
                                                   << "iexplore.exe";
        QTest::newRow("FAQ denied") << layout::kIdFaq << SE_ERR_ACCESSDENIED << web::kFaqPage << "";
        QTest::newRow("share link, unknown result") << layout::kIdSocial << 4 << web::kSocialPage << "";
    }

    void shellFailures() {
        QFETCH(int, command);
        QFETCH(int, result);
        QFETCH(QString, address);
        QFETCH(QString, retried);
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        const std::string shown = address == "help" ? HelpPagePath() : address.toStdString();
        m_harness->ClearShellRequests();
        m_harness->AnswerShell(result);
        SendMessageW(frame->CurrentPage(), WM_COMMAND, static_cast<WPARAM>(command), 0);
        // Nothing could open it: the message shows the address.
        const auto boxes = m_harness->Boxes();
        QCOMPARE(boxes.size(), std::size_t{1});
        QCOMPARE(boxes[0].text, Lang("IDS_CANNOT_OPEN") + "\n" + shown);
        QCOMPARE(boxes[0].caption, Lang("IDS_RUNNING3"));
        QCOMPARE(boxes[0].type, MB_ICONWARNING);
        const auto shell = m_harness->ShellRequests();
        QCOMPARE(shell.size(), static_cast<std::size_t>(retried.isEmpty() ? 1 : 2));
        QCOMPARE(shell[0].file, shown);
        if (!retried.isEmpty())
            QCOMPARE(shell[1].file, retried.toStdString());
        QCOMPARE(frame->CurrentPageId(), layout::kStartPageId);
    }

    void helpOpensTheLocalPageOfTheLanguage() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        for (int language : {0, 2, 4}) {
            SendMessageW(frame->CurrentPage(), WM_COMMAND, layout::kIdLanguageFirst + language, 0);
            m_harness->ClearShellRequests();
            SendMessageW(frame->CurrentPage(), WM_COMMAND, layout::kIdHelpFile, 0);
            const auto shell = m_harness->ShellRequests();
            QCOMPARE(shell.size(), std::size_t{1});
            const std::string page = m_harness->ProgramFolder() + "help/" + kLanguageNames[language] + ".html";
            QCOMPARE(shell[0].file, page);
            QVERIFY2(fs::exists(page), page.c_str());
        }
        QVERIFY(m_harness->Boxes().empty());
    }

    void withoutAFileManagerTheSavedMessageSaysWhere() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        QVERIFY(SavePageWithWorkingCopy(frame, 100));
        m_harness->AnswerShell(SE_ERR_NOASSOC);
        const std::string destination = m_harness->WorkFolder() + "deck.pptx";
        SaveAs(frame, destination);
        QCOMPARE(m_harness->BoxTexts(),
                 std::vector<std::string>{Lang("IDS_SAVE_COMPLETED_HERE") + "\n" + destination});
        QVERIFY(fs::exists(destination));
        QVERIFY(QTest::qWaitFor([&] { return PageOf<CBaseWndStep>(frame) != nullptr; }));
    }

    // --- Repair page ------------------------------------------------------

    void progressRules_data() {
        QTest::addColumn<ProgressMessages>("messages");
        QTest::addColumn<QList<int>>("percents");
        using M = ProgressMessages;
        QTest::newRow("rises") << M{{10, 100}, {33, 100}, {95, 100}, {100, 100}} << QList<int>{10, 33, 95, 100};
        QTest::newRow("never backwards") << M{{50, 100}, {20, 100}, {60, 100}} << QList<int>{50, 50, 60};
        QTest::newRow("above 100 ignored") << M{{30, 100}, {150, 100}, {40, 100}} << QList<int>{30, 30, 40};
        QTest::newRow("total 0 ignored") << M{{30, 100}, {343, 0}, {0, 0}} << QList<int>{30, 30, 30};
        QTest::newRow("large totals") << M{{0xC0000000LL, 0xF0000000LL}} << QList<int>{80};
        QTest::newRow("truncated") << M{{2, 3}, {999, 1000}} << QList<int>{66, 99};
    }

    void progressRules() {
        QFETCH(ProgressMessages, messages);
        QFETCH(QList<int>, percents);
        CMainFrame* frame = nullptr;
        CRepairPage* page = HeldPackageRepair(frame);
        QVERIFY(page);
        auto* bar = qobject_cast<QProgressBar*>(Child(page, "progress"));
        QVERIFY(bar);
        QCOMPARE(bar->geometry(), layout::kProgressRect.ToQRect());
        for (int i = 0; i < messages.size(); ++i) {
            SendMessageW(page, WM_REPAIR_PROGRESS, static_cast<WPARAM>(messages[i].first),
                         static_cast<LPARAM>(messages[i].second));
            QCOMPARE(static_cast<int>(page->Percent()), percents[i]);
            QTRY_COMPARE(bar->value(), percents[i]);  // the 50 ms timer keeps it there
        }
        page->JobToken().Cancel();
        page->JobToken().Release();
        QVERIFY(WaitForPage(frame, layout::kStartPageId));
    }

    void phaseLineNamesWhatTheRepairDoes() {
        CMainFrame* frame = nullptr;
        CRepairPage* page = HeldPackageRepair(frame);
        QVERIFY(page);
        auto* line = page->findChild<QLabel*>("phase");
        QVERIFY(line);
        QVERIFY(line->text().isEmpty());
        // Under the bar, clear of the bar and of Cancel.
        QVERIFY(line->geometry().top() >= layout::kProgressRect.bottom);
        QVERIFY(!line->geometry().intersects(layout::kCancelRect.ToQRect()));
        for (int phase = 0; phase <= static_cast<int>(RepairPhase::Finishing); ++phase) {
            QCOMPARE(SendMessageW(page, WM_REPAIR_PHASE, static_cast<WPARAM>(phase), 0), LRESULT{1});
            QCOMPARE(page->Phase(), phase);
            QCOMPARE(line->text().toStdString(), Lang(RepairPhaseTextKey(phase)));
        }
        // A value the page does not know changes nothing.
        QCOMPARE(SendMessageW(page, WM_REPAIR_PHASE, 99, 0), LRESULT{0});
        QCOMPARE(line->text().toStdString(), Lang("IDS_PHASE_FINISHING"));
        // The line follows a language switch.
        SendMessageW(page, WM_COMMAND, layout::kIdLanguageFirst + 2, 0);
        QCOMPARE(line->text(), QStringLiteral("Abschluss…"));
        page->JobToken().Cancel();
        page->JobToken().Release();
        QVERIFY(WaitForPage(frame, layout::kStartPageId));
    }

    void reportFromTheJobReachesTheSavePage() {
        // The stand-in office shows one slide without text of the repaired package.
        CMainFrame* frame = nullptr;
        CRepairPage* page = HeldPackageRepair(frame);
        QVERIFY(page);
        page->JobToken().Release();
        QVERIFY(WaitForPage(frame, layout::kSavePageId));
        auto* label = PageOf<CSavePage>(frame)->findChild<QLabel*>("report");
        QVERIFY(label);
        QVERIFY2(label->text().contains(QStringLiteral(": 1 ")), qPrintable(label->text()));
        QVERIFY(label->text().toStdString() != Lang("IDS_REPORT_NONE"));
        // The next repair starts without it.
        m_harness->AnswerBoxes({IDYES});
        Click(PageOf<CSavePage>(frame), "btnHome");
        QVERIFY(SavePageWithWorkingCopy(frame, 100));
        QCOMPARE(PageOf<CSavePage>(frame)->findChild<QLabel*>("report")->text().toStdString(),
                 Lang("IDS_REPORT_NONE"));
    }

    void cancelAnsweredNoLeavesTheRepairRunning() {
        CMainFrame* frame = nullptr;
        CRepairPage* page = HeldPackageRepair(frame);
        QVERIFY(page);
        auto* animation = page->findChild<CAnimateCtrl*>("animation");
        QVERIFY(animation);
        m_harness->AnswerBoxes({IDNO});
        Click(page, "btnCancel");
        const auto boxes = m_harness->Boxes();
        QCOMPARE(boxes.size(), std::size_t{1});
        QCOMPARE(boxes[0].text, Lang("IDS_WORD16"));
        QCOMPARE(boxes[0].caption, Lang("IDS_CONFIRM"));
        QCOMPARE(boxes[0].type, MB_YESNO | MB_ICONQUESTION);
        QVERIFY(!page->JobToken().CancelRequested());
        QVERIFY(animation->IsPlaying());
        QCOMPARE(frame->CurrentPageId(), layout::kRepairPageId);
        page->JobToken().Release();
        QVERIFY(WaitForPage(frame, layout::kSavePageId));
        QCOMPARE(m_harness->Boxes().size(), std::size_t{1});
    }

    void cancelAnsweredYesEndsWithTheCancelMessage() {
        CMainFrame* frame = nullptr;
        CRepairPage* page = HeldPackageRepair(frame);
        QVERIFY(page);
        m_harness->AnswerBoxes({IDYES});
        Click(page, "btnCancel");
        QVERIFY(page->JobToken().CancelRequested());
        // Still held by the test: the job cannot end behind the question.
        QTest::qWait(100);
        QCOMPARE(frame->CurrentPageId(), layout::kRepairPageId);
        page->JobToken().Release();
        QVERIFY(WaitForPage(frame, layout::kStartPageId));
        QCOMPARE(m_harness->BoxTexts(), (std::vector<std::string>{Lang("IDS_WORD16"), Lang("IDS_WORD8")}));
    }

    void cancelWhenTheRunFlagIsDownAsksNothing() {
        CMainFrame* frame = nullptr;
        CRepairPage* page = HeldPackageRepair(frame);
        QVERIFY(page);
        page->JobToken().Cancel();
        Click(page, "btnCancel");
        QVERIFY(m_harness->Boxes().empty());
        QVERIFY(page->findChild<CAnimateCtrl*>("animation")->IsPlaying());
        page->JobToken().Release();
        QVERIFY(WaitForPage(frame, layout::kStartPageId));
        QCOMPARE(m_harness->BoxTexts(), std::vector<std::string>{Lang("IDS_WORD8")});
    }

    void closingTheFrameDuringARepairIsRefused() {
        CMainFrame* frame = nullptr;
        CRepairPage* page = HeldPackageRepair(frame);
        QVERIFY(page);
        QVERIFY(!frame->close());
        QVERIFY(frame->isVisible());
        QCOMPARE(m_harness->BoxTexts(), std::vector<std::string>{Lang("IDS_WORD17")});
        QCOMPARE(WidgetOf(m_harness->Boxes()[0].owner), static_cast<QWidget*>(frame));
        page->JobToken().Release();
        QVERIFY(WaitForPage(frame, layout::kSavePageId));
        // Now the repaired copy waits unsaved: closing asks once more.
        m_harness->AnswerBoxes({IDYES});
        QVERIFY(frame->close());
        QCOMPARE(m_harness->BoxTexts().back(), Lang("IDS_DISCARD_REPAIR"));
    }

    void failedRepairShowsItsMessageAndReturnsToTheStartPage_data() {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("key");
        QTest::newRow("text file named .ppt") << "plain text, not a presentation " << 4000 << "IDS_NOT_PRESENTATION";
        QTest::newRow("512 bytes") << "x" << 512 << "IDS_WORD14";
    }

    void failedRepairShowsItsMessageAndReturnsToTheStartPage() {
        QFETCH(QString, content);
        QFETCH(int, size);
        QFETCH(QString, key);
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        const std::string path = m_harness->WorkFolder() + "notes.ppt";
        {
            QFile file(QString::fromStdString(path));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QByteArray bytes = content.toUtf8().repeated(size / content.size() + 1).left(size);
            file.write(bytes);
        }
        ChooseSource(frame, path);
        Click(PageOf<CBaseWndStep>(frame), "btnRepair");
        QVERIFY(WaitForPage(frame, layout::kStartPageId));
        const auto boxes = m_harness->Boxes();
        QCOMPARE(boxes.size(), std::size_t{1});
        QCOMPARE(boxes[0].text, Lang(key.toLatin1()));
        QCOMPARE(boxes[0].caption, Lang("IDS_INFORMATION"));
        QVERIFY(!g_pRepairThread);
        // The file stays chosen for another try.
        QCOMPARE(EditText(PageOf<CBaseWndStep>(frame)).toStdString(), path);
    }

    // --- End to end -------------------------------------------------------

    void damagedPackageIsRepairedAndSaved() {
        const std::string source = DamagedPackage();
        QVERIFY(!source.empty());
        const std::string destination = m_harness->WorkFolder() + "saved/Repaired deck.pptx";
        fs::create_directories(fs::path(destination).parent_path());
        RepairAndSave(source, destination, kJobTimeoutMs);
        const ZipContents saved = ReadWithLibzip(destination);
        QVERIFY2(saved.ok, saved.error.c_str());
        QCOMPARE(saved.entries.size(), ReadWithLibzip(SharedPath("corpus/pptx/jod-test.pptx")).entries.size());
    }

    void damagedBinaryPresentationIsRepairedAndSaved() {
        const char* optOut = std::getenv("DECKMEND_SKIP_REAL_OFFICE");
        if (optOut && std::string(optOut) == "1")
            QSKIP("the run opted out of the office (DECKMEND_SKIP_REAL_OFFICE=1)");
        QVERIFY2(ImpressServerInstalled(), "the office is not installed");
        // The real server answers the start-up check and the repair.
        m_powerPoint.reset();
        const std::string source = m_harness->WorkFolder() + "damaged deck.ppt";
        QVERIFY(Damage("zero-directory", "ppt/jod-test.ppt", source));
        const std::string destination = m_harness->WorkFolder() + "Repaired deck.ppt";
        m_app = std::make_unique<CRepairPPT>(m_harness->ProgramFolder());
        QVERIFY(m_app->InitInstance());
        QVERIFY(m_app->WaitForOfficeCheck());
        CMainFrame* frame = m_app->MainWindow();
        QVERIFY(frame);
        ChooseSource(frame, source);
        Click(PageOf<CBaseWndStep>(frame), "btnRepair");
        QVERIFY2(WaitForPage(frame, layout::kSavePageId, kOfficeJobTimeoutMs),
                 m_harness->BoxTexts().empty() ? "no save page" : m_harness->BoxTexts().back().c_str());
        SaveAs(frame, destination);
        QVERIFY(Contains(m_harness->BoxTexts(), Lang("IDS_SAVE_COMPLETED")));
        QVERIFY(fs::exists(destination));
        QVERIFY(ReadOleStream(destination, "PowerPoint Document").has_value());
    }

    // --- Save page --------------------------------------------------------

    // The save page, with a working copy of `size` bytes waiting.
    CSavePage* SavePageWithWorkingCopy(CMainFrame* frame, std::uint64_t size) {
        g_strWorkingPath.clear();
        g_strSourceExt = "pptx";
        g_strSourceTitle = "deck";
        if (!MakeSparseFile(TempFilePath(kPackageResultName), size))
            return nullptr;
        SendMessageW(frame, WM_COMMAND, kStepSavePage, 0);
        return PageOf<CSavePage>(frame);
    }

    void saveWithoutDestinationAsksForOne() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        CSavePage* page = SavePageWithWorkingCopy(frame, 100);
        QVERIFY(page);
        QVERIFY(EditText(page).isEmpty());
        Click(page, "btnSave");
        QCOMPARE(m_harness->BoxTexts(), std::vector<std::string>{Lang("IDS_WORD6")});
        QVERIFY(fs::exists(TempFilePath(kPackageResultName)));
        QCOMPARE(frame->CurrentPageId(), layout::kSavePageId);
        // A destination chosen, then the dialog cancelled: the destination stays.
        const std::string chosen = m_harness->WorkFolder() + "a.pptx";
        m_harness->AnswerFileDialogs({chosen, std::nullopt});
        Click(page, "btnBrowse");
        Click(page, "btnBrowse");
        QCOMPARE(EditText(page).toStdString(), chosen);
    }

    void saveNeedsRoomForTheWorkingCopy() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        std::uint64_t freeBytes = 0;
        QVERIFY(GetDiskFreeSpaceExW(m_harness->WorkFolder(), freeBytes));
        CSavePage* page = SavePageWithWorkingCopy(frame, freeBytes + (std::uint64_t{1} << 30));
        QVERIFY(page);
        SaveAs(frame, m_harness->WorkFolder() + "big.pptx");
        QCOMPARE(m_harness->BoxTexts(), std::vector<std::string>{Lang("IDS_LOWDIKSPACE_TO_SAVE")});
        QCOMPARE(m_harness->Boxes()[0].type, MB_ICONWARNING);
        QCOMPARE(EditText(page).toStdString(), m_harness->WorkFolder() + "big.pptx");
        QVERIFY(fs::exists(TempFilePath(kPackageResultName)));
        QVERIFY(!fs::exists(m_harness->WorkFolder() + "big.pptx"));
    }

    void failedCopyKeepsTheWorkingCopyAndThePage() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        CSavePage* page = SavePageWithWorkingCopy(frame, 100);
        QVERIFY(page);
        const std::string unwritable = m_harness->WorkFolder() + "no such folder/deck.pptx";
        SaveAs(frame, unwritable);
        QCOMPARE(m_harness->BoxTexts(), std::vector<std::string>{Lang("IDS_SAVE_FAILED")});
        QVERIFY(!Lang("IDS_SAVE_FAILED").empty());
        QVERIFY(fs::exists(TempFilePath(kPackageResultName)));
        QCOMPARE(frame->CurrentPageId(), layout::kSavePageId);
        // Another destination then works.
        m_harness->ClearBoxes();
        SaveAs(frame, m_harness->WorkFolder() + "deck.pptx");
        QCOMPARE(m_harness->BoxTexts(), std::vector<std::string>{Lang("IDS_SAVE_COMPLETED")});
        QVERIFY(QTest::qWaitFor([&] { return PageOf<CBaseWndStep>(frame) != nullptr; }));
    }

    void homeButtonGoesBackToTheStartPage() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        CSavePage* page = SavePageWithWorkingCopy(frame, 100);
        QVERIFY(page);
        m_harness->AnswerBoxes({IDYES});
        Click(page, "btnHome");
        QVERIFY(PageOf<CBaseWndStep>(frame));
        QCOMPARE(m_harness->BoxTexts(), std::vector<std::string>{Lang("IDS_DISCARD_REPAIR")});
    }

    void leavingAnUnsavedRepairAsksFirst_data() {
        QTest::addColumn<bool>("byHome");
        QTest::addColumn<int>("answer");
        QTest::newRow("Home, stay") << true << IDNO;
        QTest::newRow("Home, leave") << true << IDYES;
        QTest::newRow("close, stay") << false << IDNO;
        QTest::newRow("close, leave") << false << IDYES;
        QTest::newRow("close, box dismissed") << false << IDOK;
    }

    void leavingAnUnsavedRepairAsksFirst() {
        QFETCH(bool, byHome);
        QFETCH(int, answer);
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        CSavePage* page = SavePageWithWorkingCopy(frame, 100);
        QVERIFY(page);
        m_harness->AnswerBoxes({answer});
        bool closed = false;
        if (byHome)
            Click(page, "btnHome");
        else
            closed = frame->close();
        const auto boxes = m_harness->Boxes();
        QCOMPARE(boxes.size(), std::size_t{1});
        QCOMPARE(boxes[0].text, Lang("IDS_DISCARD_REPAIR"));
        QCOMPARE(boxes[0].caption, Lang("IDS_CONFIRM"));
        QCOMPARE(boxes[0].type, MB_YESNO | MB_ICONWARNING);
        const bool leaves = answer == IDYES;
        QCOMPARE(closed, !byHome && leaves);
        QCOMPARE(frame->CurrentPageId(), byHome && leaves ? layout::kStartPageId : layout::kSavePageId);
        if (!leaves)
            QVERIFY(fs::exists(TempFilePath(kPackageResultName)));
    }

    void leavingWithoutAWaitingCopyAsksNothing() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        CSavePage* page = SavePageWithWorkingCopy(frame, 100);
        QVERIFY(page);
        // Saved elsewhere or gone: nothing is lost by leaving.
        QVERIFY(fs::remove(TempFilePath(kPackageResultName)));
        Click(page, "btnHome");
        QVERIFY(PageOf<CBaseWndStep>(frame));
        SendMessageW(frame, WM_COMMAND, kStepSavePage, 0);
        QVERIFY(frame->close());
        QVERIFY(m_harness->Boxes().empty());
    }

    static RecoveryReport PartlyRepairedPackage() {
        RecoveryReport report;
        report.outcome = RepairOutcome::RepairedInPart;
        report.method = RepairMethod::ContainerRebuilt;
        report.slides = 12;
        report.characters = 4180;
        report.pictures = 3;
        report.notes = 2;
        report.checkedInOffice = true;
        report.items = {{"ppt/presentation.xml", ItemState::Kept, ""},
                        {"ppt/slides/slide3.xml", ItemState::LeftOut, "cut off"},
                        {"ppt/slides/slide4.xml", ItemState::Mended, "end restored"},
                        {"[Content_Types].xml", ItemState::Regenerated, ""},
                        {"ppt/media/image1.png", ItemState::LeftOut, "bad data"},
                        {"ppt/media/image2.png", ItemState::LeftOut, "bad data"}};
        return report;
    }

    QLabel* ReportLabel(CSavePage* page) { return page ? page->findChild<QLabel*>("report") : nullptr; }

    void savePageShowsTheRecoveryReport() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        CSavePage* page = SavePageWithWorkingCopy(frame, 100);
        QLabel* report = ReportLabel(page);
        QVERIFY(report);
        QCOMPARE(report->text().toStdString(), Lang("IDS_REPORT_NONE"));
        // Inside the white field, above the path field.
        QVERIFY(layout::kPanelField.ToQRect().contains(report->geometry()));
        QVERIFY(!report->geometry().intersects(Child(page, "editPath")->geometry()));

        page->SetRecoveryReport(PartlyRepairedPackage());
        const std::string text = report->text().toStdString();
        for (const std::string& part :
             {std::string("12"), std::string("4180"), Lang("IDS_METHOD_CONTAINER"), Lang("IDS_REPORT_CHANGED"),
              std::string("ppt/slides/slide3.xml (") + Lang("IDS_STATE_LEFT_OUT") + ": cut off)",
              std::string("ppt/slides/slide4.xml (") + Lang("IDS_STATE_MENDED") + ": end restored)",
              std::string("[Content_Types].xml (") + Lang("IDS_STATE_REGENERATED") + ")",
              QString::fromStdString(Lang("IDS_REPORT_MORE")).arg(2).toStdString()})
            QVERIFY2(text.find(part) != std::string::npos, part.c_str());
        // Parts kept as they were and the last two changed ones are not named.
        for (const char* absent : {"presentation.xml", "image1.png", "image2.png"})
            QVERIFY2(text.find(absent) == std::string::npos, absent);
        QVERIFY(text.find(Lang("IDS_REPORT_KEPT_SOURCE")) == std::string::npos);
        QCOMPARE(report->accessibleDescription(), report->text());
        const auto fits = [report] {
            return QFontMetrics(report->font())
                       .boundingRect(report->contentsRect(), Qt::TextWordWrap, report->text())
                       .height() <= report->height();
        };
        QVERIFY(fits());

        // A language switch shows the report in the new language.
        SendMessageW(page, WM_COMMAND, layout::kIdLanguageFirst + 2, 0);
        QVERIFY(report->text().startsWith(QStringLiteral("Wiederhergestellt: 12 Folien")));
        QVERIFY(fits());
    }

    // PNG pictures of `count` wide slides, each of its own colour, as the office makes them.
    static std::vector<std::string> SlidePictures(int count) {
        std::vector<std::string> pictures;
        for (int i = 0; i < count; ++i) {
            QImage slide(320, 180, QImage::Format_RGB32);
            slide.fill(SlideColour(i));
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            slide.save(&buffer, "PNG");
            pictures.emplace_back(png.constData(), static_cast<std::size_t>(png.size()));
        }
        return pictures;
    }
    static QRgb SlideColour(int index) { return QColor::fromHsv(index * 40 % 360, 200, 200).rgb(); }

    // The colour in the middle of what `widget` shows at `place`.
    static QRgb ShownColour(QWidget* widget, const QRect& place) {
        return widget->grab().toImage().pixel(place.center());
    }

    void savePageShowsTheSlidePicturesAndEnlargesOne() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        // The report of the repair, as the job leaves it with the frame: a
        // picture that does not decode is left out.
        RecoveryReport report = PartlyRepairedPackage();
        report.slidePictures = SlidePictures(8);
        report.slidePictures.insert(report.slidePictures.begin() + 2, "not a picture");
        frame->SetPendingReport(report);
        CSavePage* page = SavePageWithWorkingCopy(frame, 100);
        QVERIFY(page);
        auto* preview = page->findChild<QScrollArea*>("preview");
        QVERIFY(preview);
        QVERIFY(preview->isVisible());
        const auto thumbnails = preview->findChildren<QToolButton*>(QRegularExpression("^slide\\d+$"));
        QCOMPARE(thumbnails.size(), 8);
        // Below the report and above the destination, inside the white field.
        QVERIFY(layout::kPanelField.ToQRect().contains(preview->geometry()));
        for (const char* other : {"report", "editPath", "btnBrowse", "btnSave"})
            QVERIFY2(!preview->geometry().intersects(Child(page, other)->geometry()), other);
        QVERIFY(preview->geometry().top() >= Child(page, "report")->geometry().bottom());
        // Eight slides do not fit in the row: it scrolls.
        QVERIFY(preview->widget()->width() > preview->viewport()->width());
        QTRY_VERIFY(preview->horizontalScrollBar()->isVisible());
        for (int i = 0; i < 8; ++i) {
            QToolButton* thumbnail = preview->findChild<QToolButton*>(QStringLiteral("slide%1").arg(i + 1));
            QVERIFY(thumbnail);
            QCOMPARE(thumbnail->accessibleName(), QString::fromStdString(Lang("IDS_PREVIEW_SLIDE")).arg(i + 1));
            QCOMPARE(ShownColour(thumbnail, thumbnail->rect()), SlideColour(i));
        }

        // A click enlarges a slide over the white field; Esc closes it and the
        // focus is back on the slide.
        auto* zoom = page->findChild<CSlideZoom*>("slideZoom");
        QVERIFY(zoom);
        QVERIFY(!zoom->isVisible());
        QToolButton* third = preview->findChild<QToolButton*>("slide3");
        QTest::mouseClick(third, Qt::LeftButton);
        QVERIFY(zoom->isVisible());
        QCOMPARE(zoom->geometry(), layout::kPanelField.ToQRect());
        QVERIFY(zoom->PictureRect().width() > 2 * third->width());
        QCOMPARE(ShownColour(zoom, zoom->PictureRect()), SlideColour(2));
        QVERIFY(zoom->accessibleName().startsWith(QStringLiteral("%1 ").arg(third->accessibleName())));
        QTest::keyClick(zoom, Qt::Key_Escape);
        QVERIFY(!zoom->isVisible());
        QVERIFY(third->hasFocus());
        // The focus shows on the slide.
        const QImage focused = third->grab().toImage();
        page->setFocus();
        QVERIFY(third->grab().toImage() != focused);

        // The last one, out of sight at first, by the keyboard; a click closes it.
        QToolButton* last = preview->findChild<QToolButton*>("slide8");
        last->setFocus(Qt::TabFocusReason);
        QTest::keyClick(last, Qt::Key_Space);
        QVERIFY(zoom->isVisible());
        QCOMPARE(ShownColour(zoom, zoom->PictureRect()), SlideColour(7));
        QVERIFY(preview->viewport()->rect().contains(last->geometry().translated(preview->widget()->pos())));
        QTest::mouseClick(zoom, Qt::LeftButton, {}, zoom->rect().topLeft() + QPoint(2, 2));
        QVERIFY(!zoom->isVisible());
        // Tab moves on and the enlarged slide goes: it never hides the control with the focus.
        QTest::mouseClick(third, Qt::LeftButton);
        QVERIFY(zoom->isVisible());
        QTest::keyClick(zoom, Qt::Key_Tab);
        QVERIFY(!zoom->isVisible());
        QVERIFY(!zoom->hasFocus());

        // A language switch names the slides anew; a report without pictures hides the row.
        SendMessageW(page, WM_COMMAND, layout::kIdLanguageFirst + 2, 0);
        QCOMPARE(third->accessibleName(), QStringLiteral("Folie 3"));
        page->SetRecoveryReport(PartlyRepairedPackage());
        QVERIFY(!preview->isVisible());
        QVERIFY(preview->findChildren<QToolButton*>().isEmpty());
    }

    void keptSourceIsSaidInPlainWords() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        CSavePage* page = SavePageWithWorkingCopy(frame, 100);
        QVERIFY(ReportLabel(page));
        RecoveryReport report;
        report.outcome = RepairOutcome::KeptSource;
        report.method = RepairMethod::SourceResaved;
        report.slides = 4;
        page->SetRecoveryReport(report);
        const std::string text = ReportLabel(page)->text().toStdString();
        QVERIFY(text.find(Lang("IDS_REPORT_KEPT_SOURCE")) != std::string::npos);
        QVERIFY(text.find(Lang("IDS_METHOD_RESAVED")) != std::string::npos);
        QVERIFY(text.find(Lang("IDS_REPORT_CHANGED")) == std::string::npos);
    }

    void saveDialogFollowsTheSourceType_data() {
        QTest::addColumn<QString>("sourceExt");
        QTest::addColumn<QString>("extension");
        QTest::newRow("ppt") << "ppt" << "ppt";
        QTest::newRow("PPS in capitals") << "PPS" << "pps";
        QTest::newRow("pptx") << "pptx" << "pptx";
        QTest::newRow("anything else") << "zip" << "pptx";
    }

    void saveDialogFollowsTheSourceType() {
        QFETCH(QString, sourceExt);
        QFETCH(QString, extension);
        const SaveFilter filter = SaveFilterFor(sourceExt.toStdString());
        QCOMPARE(QString::fromLatin1(filter.extension), extension);
        QVERIFY(std::string(filter.filter).find("(*." + extension.toStdString() + ")") != std::string::npos);
    }

    void proposedNameCarriesTheTimeStamp() {
        std::tm when{};
        when.tm_mday = 6;
        when.tm_mon = 11;
        when.tm_year = 2026 - 1900;
        when.tm_hour = 15;
        when.tm_min = 7;
        when.tm_sec = 3;
        QCOMPARE(ProposedSaveName("deck", when), std::string("Repaired deck 6-12-2026, 15-7-3"));
    }

    void saveDialogProposesTheName() {
        CMainFrame* frame = StartWizard();
        QVERIFY(frame);
        CSavePage* page = SavePageWithWorkingCopy(frame, 100);
        QVERIFY(page);
        Click(page, "btnBrowse");
        const auto dialogs = m_harness->FileDialogs();
        QCOMPARE(dialogs.size(), std::size_t{1});
        QCOMPARE(dialogs[0].kind, FileDialogKind::Save);
        QVERIFY(dialogs[0].overwritePrompt);
        QCOMPARE(dialogs[0].defaultExt, std::string("pptx"));
        QVERIFY(dialogs[0].fileName.starts_with("Repaired deck "));
    }

    void binaryWorkingCopyIsTheJobsOwnPath() {
        g_strWorkingPath = TempFilePath("__working.PPT");
        QCOMPARE(WorkingCopyPath(), TempFilePath("__working.PPT"));
        g_strWorkingPath.clear();
        QCOMPARE(WorkingCopyPath(), TempFilePath(kPackageResultName));
        QCOMPARE(FolderOf("/deck.ppt"), std::string("/"));
        QCOMPARE(FolderOf("/home/user/deck.ppt"), std::string("/home/user"));
    }

    void everyLanguageHasTheSaveFailedText() {
        std::set<std::string> texts;
        for (const char* language : kLanguageNames) {
            std::string text;
            GetPrivateProfileStringW(kSettingsSection, "IDS_SAVE_FAILED", "", text, 1000,
                                     m_harness->ProgramFolder() + "Lang/" + language + ".INI");
            QVERIFY2(!text.empty(), language);
            texts.insert(text);
        }
        QCOMPARE(texts.size(), std::size_t{kLanguageCount});
    }

    void settingsGoToTheUserFolderWhenTheProgramFolderIsReadOnly() {
        const std::string shipped = m_harness->ProgramFolder() + "Settings.INI";
        const std::string config = qEnvironmentVariable("XDG_CONFIG_HOME").toStdString();
        QCOMPARE(UserSettingsPath(), config + "/deckmend/Settings.INI");
        // The shipped file says German; nothing of the user's yet.
        WritePrivateProfileStringW(kSettingsSection, "IDS_LANGUAGE", "2", shipped);
        WritePrivateProfileStringW(kSettingsSection, "IDS_TIPS", "0", shipped);
        InitSettings(m_harness->ProgramFolder(), false);
        QCOMPARE(g_strSettingsIni, UserSettingsPath());
        QCOMPARE(ReadLanguageIndex(), 2);
        QVERIFY(g_strLanguageIni.ends_with("Lang/German.INI"));
        // A choice and a tip are kept in the user's file, the shipped one is untouched.
        const std::string shippedNow = ReadText(shipped);
        QVERIFY(SwitchLanguage(3));
        QVERIFY(PickTip(kSettingsSection));
        QCOMPARE(ReadText(shipped), shippedNow);
        std::string stored;
        GetPrivateProfileStringW(kSettingsSection, "IDS_LANGUAGE", "", stored, 10, UserSettingsPath());
        QCOMPARE(stored, std::string("3"));
        GetPrivateProfileStringW(kSettingsSection, "IDS_TIPS", "", stored, 10, UserSettingsPath());
        QCOMPARE(stored, std::string("1"));
        // The next start reads the user's file first.
        InitSettings(m_harness->ProgramFolder(), false);
        QCOMPARE(ReadLanguageIndex(), 3);
        QVERIFY(g_strLanguageIni.ends_with("Lang/Italian.INI"));
        // A writable program folder keeps its own file.
        InitSettings(m_harness->ProgramFolder());
        QCOMPARE(g_strSettingsIni, shipped);
        QCOMPARE(ReadLanguageIndex(), 2);
    }

    void installedProgramFindsItsFiles() {
        const fs::path root = m_harness->WorkFolder() + "usr";
        fs::create_directories(root / "bin");
        fs::create_directories(root / "share/deckmend/Lang");
        QCOMPARE(fs::canonical(ProgramDataFolder((root / "bin").string() + "/")),
                 fs::canonical(root / "share/deckmend"));
        // A build folder holds its files itself.
        fs::create_directories(root / "bin/Lang");
        QCOMPARE(ProgramDataFolder((root / "bin").string() + "/"), (root / "bin").string() + "/");
    }

    void everyLanguageHasTheReportAndPhaseTexts() {
        const char* const keys[] = {
            "IDS_DISCARD_REPAIR",   "IDS_REPORT_NAME",      "IDS_REPORT_NONE",       "IDS_REPORT_COUNTS",
            "IDS_REPORT_METHOD",    "IDS_METHOD_CONTAINER", "IDS_METHOD_RELINKED",   "IDS_METHOD_CUT",
            "IDS_METHOD_FRAGMENTS", "IDS_METHOD_RESAVED",   "IDS_REPORT_KEPT_SOURCE", "IDS_REPORT_CHANGED",
            "IDS_REPORT_MORE",      "IDS_STATE_MENDED",     "IDS_STATE_REGENERATED", "IDS_STATE_LEFT_OUT",
            "IDS_PHASE_READING",    "IDS_PHASE_FINDING",    "IDS_PHASE_REBUILDING",  "IDS_PHASE_CHECKING",
            "IDS_PHASE_COMPARING",  "IDS_PHASE_BUILDING",   "IDS_PHASE_FINISHING",   "IDS_MENU_LANGUAGE",
            "IDS_MENU_HELP",        "IDS_MENU_SUPPORT",     "IDS_MENU_UPDATE",       "IDS_MENU_ABOUT",
            "IDS_PREVIEW_NAME",     "IDS_PREVIEW_SLIDE",    "IDS_PREVIEW_ENLARGE",   "IDS_PREVIEW_CLOSE"};
        for (const char* language : kLanguageNames)
            for (const char* key : keys) {
                std::string text;
                GetPrivateProfileStringW(kSettingsSection, key, "", text, 1000,
                                         m_harness->ProgramFolder() + "Lang/" + language + ".INI");
                const std::string where = std::string(language) + " " + key;
                QVERIFY2(!text.empty(), where.c_str());
                // Every placeholder of the English text is in the translation.
                const std::string english = Lang(key);
                for (const char* mark : {"%1", "%2", "%3", "%4"})
                    QVERIFY2((english.find(mark) == std::string::npos) == (text.find(mark) == std::string::npos),
                             where.c_str());
            }
    }
};

int main(int argc, char** argv) {
    IsolateInstanceLocks();  // before Qt reads the runtime folder
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    InitWizardTestApplication();
    WizardTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "wizard_test.moc"

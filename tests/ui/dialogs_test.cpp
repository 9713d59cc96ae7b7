#include "dialogs_test.h"

#include <QTest>
#include <memory>
#include <vector>

#include "platform/message_box.h"
#include "platform/shell_execute.h"
#include "ui/controls/control_styles.h"
#include "ui/controls/hyperlink.h"
#include "ui/controls/widget_message.h"
#include "ui/controls/xcmd_btn.h"
#include "ui/dialogs/about_dlg.h"
#include "ui/dialogs/modal_runner.h"
#include "ui/dialogs/tips_dlg.h"
#include "ui/settings/settings.h"
#include "ui_test_support.h"

namespace {

std::unique_ptr<ProgramFolder> g_folder;
std::vector<ShellExecuteRequest> g_shellRequests;
std::vector<int> g_shellResults;  // answers, in order; success when used up
std::vector<MessageBoxRequest> g_boxes;

int AnswerShellRequest(const ShellExecuteRequest& request) {
    g_shellRequests.push_back(request);
    if (g_shellRequests.size() > g_shellResults.size()) return kShellExecuteSuccess;
    return g_shellResults[g_shellRequests.size() - 1];
}

const char* const kFiveTips = "First tip\nSecond tip\n\nThird tip\r\nFourth tip\nFifth tip\nSixth tip\n";

std::string Settings(const char* section, const char* counter) {
    return std::string("[") + section + "]\nIDS_TIPS=" + counter + "\n";
}

// The main window stand-in whose frame the note is placed by.
struct MainWindow {
    QWidget frame;
    QWidget* page;
    MainWindow() : page(new QWidget(&frame)) {
        frame.setGeometry(100, 100, 888, 530);
        page->resize(888, 530);
    }
};

}  // namespace

void DialogsTest::init() {
    g_folder = std::make_unique<ProgramFolder>();
    g_bWindows6 = TRUE;
    g_strTipText.clear();
    g_shellRequests.clear();
    g_shellResults.clear();
    g_boxes.clear();
    SetShellExecuteHandler(AnswerShellRequest);
    SetMessageBoxHandler([](const MessageBoxRequest& request) {
        g_boxes.push_back(request);
        return IDOK;
    });
}

void DialogsTest::cleanup() {
    SetShellExecuteHandler({});
    SetMessageBoxHandler({});
    SetModalRunner({});
    g_folder.reset();
}

void DialogsTest::pickTipCounterCases() {
    const struct {
        const char* name;
        const char* tips;      // nullptr: no tips file
        const char* settings;  // counter value; nullptr: no settings file
        BOOL found;
        const char* tip;
        const char* counterAfter;  // nullptr: settings file untouched
    } cases[] = {
        {"counter 4 with five tips", kFiveTips, "4", TRUE, "Fifth tip", "0"},
        {"counter 3 with two tips", "One\nTwo\n", "3", TRUE, "Two", "3"},
        {"counter 0", kFiveTips, "0", TRUE, "First tip", "1"},
        {"blank lines do not count", kFiveTips, "2", TRUE, "Third tip", "3"},
        {"carriage returns are cut", kFiveTips, "3", TRUE, "Fourth tip", "4"},
        {"no settings file", kFiveTips, nullptr, TRUE, "First tip", "1"},
        {"counter not a digit", kFiveTips, "x", TRUE, "First tip", "1"},
        {"counter past the five tips", kFiveTips, "7", TRUE, "First tip", "1"},
        {"last tip without line end", "One\nTwo", "1", TRUE, "Two", "2"},
        {"byte-order mark", "\xEF\xBB\xBFOne\nTwo\n", "0", TRUE, "One", "1"},
        {"empty file", "", "2", FALSE, "", "2"},
        {"only blank lines", "\n\r\n  \n\n", "0", FALSE, "", "0"},
        {"missing file", nullptr, "1", FALSE, "", "1"},
    };
    for (const auto& c : cases) {
        g_folder = std::make_unique<ProgramFolder>();
        if (c.tips) g_folder->WriteFile(QStringLiteral("Tips.Txt"), c.tips);
        if (c.settings) g_folder->WriteFile(QStringLiteral("Settings.INI"), Settings(kSettingsSection, c.settings));
        g_strTipText = "stale";
        QVERIFY2(PickTip(kSettingsSection) == c.found, c.name);
        QVERIFY2(g_strTipText == c.tip, c.name);
        const std::string settings = g_folder->ReadFile(QStringLiteral("Settings.INI"));
        QVERIFY2(settings == Settings(kSettingsSection, c.counterAfter), c.name);
    }
}

void DialogsTest::pageSectionsRotateIndependently() {
    g_folder->WriteFile(QStringLiteral("Tips.Txt"), kFiveTips);
    QVERIFY(PickTip(kSettingsSection));
    QVERIFY(PickTip(kSettingsSection));
    QCOMPARE(g_strTipText, std::string("Second tip"));
    QVERIFY(PickTip("deckmend"));
    QCOMPARE(g_strTipText, std::string("First tip"));
    QVERIFY(PickTip(kSettingsSection));
    QCOMPARE(g_strTipText, std::string("Third tip"));
}

void DialogsTest::noteGeometryFollowsTipLength() {
    const QRect owner(100, 50, 888, 530);  // right edge 988, bottom edge 580
    const struct {
        int length;
        int top, height;
    } cases[] = {
        {0, 75, 40},    {49, 75, 40},   {50, 95, 60},   {99, 95, 60},   {120, 115, 80},
        {150, 135, 100}, {199, 135, 100}, {200, 175, 140}, {250, 195, 160}, {299, 195, 160},
        {300, 195, 160}, {1000, 195, 160},  // long tips keep the tallest note by the window
    };
    for (const auto& c : cases) {
        const QRect note = TipsNoteGeometry(c.length, owner);
        const QString label = QString::number(c.length);
        QVERIFY2(note == QRect(988 - 507, 580 - c.top, 503, c.height), qPrintable(label));
    }
}

void DialogsTest::noteShowsTipAndClosesAfterFiveTicks() {
    MainWindow window;
    g_strTipText = std::string(120, 'a');
    g_nHotButtonId = 350;
    CTipsDlg note(window.page);
    QVERIFY(note.Create());
    note.show();
    QCOMPARE(g_nHotButtonId, -1);
    const QRect frame = window.frame.frameGeometry();
    QCOMPARE(note.geometry().height(), 80);
    QCOMPARE(note.geometry().top(), frame.y() + frame.height() - 115);
    QCOMPARE(note.geometry().left(), frame.x() + frame.width() - 507);

    auto* close = note.findChild<CXCmdBtn*>(QStringLiteral("tipsCloseButton"));
    auto* icon = note.findChild<CXCmdBtn*>(QStringLiteral("tipsIcon"));
    QVERIFY(close && icon);
    QCOMPARE(close->geometry(), QRect(485, 0, 16, 16));
    QCOMPARE(close->CurrentImage(), 303);
    QCOMPARE(icon->geometry(), QRect(10, 5, 24, 24));
    QCOMPARE(icon->CurrentImage(), 326);
    QVERIFY(!icon->isEnabled());
    QVERIFY(close->m_bNotifyParent && icon->m_bNotifyParent);

    const QImage drawn = note.grab().toImage();
    QCOMPARE(QColor(drawn.pixel(45, 70)), QColor(249, 251, 147));
    bool sawText = false;
    for (int x = 50; x < 300; ++x) sawText |= Differs(drawn.pixel(x, 18), qRgb(249, 251, 147));
    QVERIFY(sawText);

    QVERIFY(note.TimerRunning());
    for (int tick = 1; tick <= 4; ++tick) note.OnTimer(CTipsDlg::kTimerId);
    QCoreApplication::processEvents();
    QVERIFY(note.isVisible());
    note.OnTimer(CTipsDlg::kTimerId);
    QTRY_VERIFY(!note.isVisible());
    QVERIFY(!note.TimerRunning());
}

void DialogsTest::noteShownAgainClosesAgain() {
    MainWindow window;
    g_strTipText = "short";
    CTipsDlg note(window.page);
    for (int showing = 0; showing < 2; ++showing) {
        QVERIFY(note.Create());
        note.show();
        QCOMPARE(note.Ticks(), 0);
        QCOMPARE(note.geometry().height(), 40);
        QCOMPARE(note.findChildren<CXCmdBtn*>().size(), 2);
        for (int tick = 0; tick < CTipsDlg::kTicksShown; ++tick) note.OnTimer(CTipsDlg::kTimerId);
        QTRY_VERIFY(!note.isVisible());
    }
}

void DialogsTest::noteCloseButtonClosesIt() {
    MainWindow window;
    g_strTipText = "short";
    CTipsDlg note(window.page);
    note.Create();
    note.show();
    QVERIFY(QTest::qWaitForWindowExposed(&note));
    QTest::mouseClick(note.findChild<CXCmdBtn*>(QStringLiteral("tipsCloseButton")), Qt::LeftButton);
    QTRY_VERIFY(!note.isVisible());
    QVERIFY(!note.TimerRunning());
}

void DialogsTest::aboutBoxLayout() {
    CAboutDlg about;
    QVERIFY(about.OnInitDialog());
    QCOMPARE(about.size(), QSize(435, 190));
    QCOMPARE(about.windowTitle(), QStringLiteral("About Deckmend"));

    auto* close = about.findChild<CXCmdBtn*>(QStringLiteral("aboutCloseButton"));
    auto* ok = about.findChild<CXCmdBtn*>(QStringLiteral("aboutOkButton"));
    QVERIFY(close && ok);
    QCOMPARE(close->geometry(), QRect(410, 7, 18, 18));
    QCOMPARE(close->GetDlgCtrlID(), 2);
    QCOMPARE(close->CurrentImage(), 50049);
    QCOMPARE(ok->geometry(), QRect(308, 135, 109, 43));
    QCOMPARE(ok->GetDlgCtrlID(), 1);
    QCOMPARE(ok->CurrentImage(), 50054);
    QVERIFY(ok->m_strText.isEmpty());

    const struct {
        const char* name;
        int id;
        QPoint at;
        const char* text;
    } links[] = {
        {"linkUninstall", 50052, QPoint(20, 99), "Uninstall"},
        {"linkLicense", 50053, QPoint(20, 126), "License"},
        {"linkPolicy", 50057, QPoint(std::max(70, about.DottedLineX() + 7), 126), "Privacy Policy"},
        {"linkAbout", 50051, QPoint(20, 151), "https://deckmend.example/"},
    };
    for (const auto& l : links) {
        auto* link = about.findChild<CHyperLink*>(QString::fromLatin1(l.name));
        QVERIFY2(link, l.name);
        QCOMPARE(GetDlgCtrlID(link), l.id);
        QCOMPARE(link->pos(), l.at);
        QCOMPARE(link->GetWindowText(), QString::fromLatin1(l.text));
        QVERIFY(link->IsUnderlined());
        QCOMPARE(link->LinkColour(), QColor(12, 111, 173));
        QCOMPARE(link->TextColour(), QColor(12, 111, 173));
        QCOMPARE(link->BkColour(), QColor(Qt::white));
    }
    // The links of one row do not run into each other or into the dotted line between them.
    auto* license = about.findChild<CHyperLink*>(QStringLiteral("linkLicense"));
    auto* policy = about.findChild<CHyperLink*>(QStringLiteral("linkPolicy"));
    QVERIFY(about.DottedLineX() >= 63);
    QVERIFY(license->geometry().right() < about.DottedLineX());
    QVERIFY(policy->x() > about.DottedLineX());
}

void DialogsTest::aboutLinkRowMakesRoomForLongCaptions() {
    const struct {
        const char* caption;
        bool fits;  // within the 40 pixels the license link is given
    } cases[] = {{"EULA", true}, {"Licencia de uso del programa", false}};
    for (const auto& c : cases) {
        g_folder->WriteFile(QStringLiteral("Lang/English.INI"),
                            std::string("[Deckmend PPT]\nIDS_LICENSE_URL_TXT=") + c.caption +
                                "\nIDS_POLICY_URL_TXT=Privacy\n");
        CAboutDlg about;
        about.OnInitDialog();
        auto* license = about.findChild<CHyperLink*>(QStringLiteral("linkLicense"));
        auto* policy = about.findChild<CHyperLink*>(QStringLiteral("linkPolicy"));
        QVERIFY2((license->x() + license->width() <= 60) == c.fits, c.caption);
        if (c.fits) {
            QCOMPARE(about.DottedLineX(), 63);
            QCOMPARE(policy->pos(), QPoint(70, 126));
        } else {
            QCOMPARE(about.DottedLineX(), license->x() + license->width() + 3);
            QCOMPARE(policy->pos(), QPoint(about.DottedLineX() + 7, 126));
        }
        const QImage drawn = about.grab().toImage();
        QCOMPARE(QColor(drawn.pixel(about.DottedLineX(), 127)), QColor(180, 180, 180));
    }
}

void DialogsTest::aboutBoxPainting() {
    CAboutDlg about;
    about.OnInitDialog();
    const QImage drawn = about.grab().toImage();
    QCOMPARE(QColor(drawn.pixel(0, 0)), QColor(86, 86, 86));
    QCOMPARE(QColor(drawn.pixel(1, 100)), QColor(86, 86, 86));
    QCOMPARE(QColor(drawn.pixel(2, 100)), QColor(Qt::white));
    QCOMPARE(QColor(drawn.pixel(200, 70)), QColor(180, 180, 180));
    QCOMPARE(QColor(drawn.pixel(200, 71)), QColor(Qt::white));
    bool logo = false, version = false;
    for (int x = 13; x < 300; ++x) logo |= Differs(drawn.pixel(x, 35), qRgb(255, 255, 255));
    for (int x = 72; x < 140; ++x)
        for (int y = 77; y < 92; ++y) version |= Differs(drawn.pixel(x, y), qRgb(255, 255, 255));
    QVERIFY(logo);
    QVERIFY(version);
}

void DialogsTest::aboutBoxButtonsEndIt() {
    const struct {
        const char* button;
        int result;
    } cases[] = {{"aboutOkButton", IDOK}, {"aboutCloseButton", IDCANCEL}};
    for (const auto& c : cases) {
        CAboutDlg about;
        SetModalRunner([&](QDialog& dialog) {
            QTest::mouseClick(dialog.findChild<CXCmdBtn*>(QString::fromLatin1(c.button)), Qt::LeftButton);
            return dialog.result();
        });
        QCOMPARE(about.DoModal(), c.result);
    }
}

void DialogsTest::aboutLinksOpenTheirAddresses() {
    CAboutDlg about;
    about.OnInitDialog();
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    const struct {
        int id;
        const char* address;
    } cases[] = {
        {50052, "https://deckmend.example/uninstall"},
        {50053, "https://deckmend.example/license"},
        {50057, "https://deckmend.example/privacy"},
        {50051, "https://deckmend.example/"},
    };
    for (const auto& c : cases) {
        g_shellRequests.clear();
        QTest::mouseClick(GetDlgItem(&about, c.id), Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(g_shellRequests.size(), std::size_t(1));
        QCOMPARE(g_shellRequests[0].verb, std::string("Open"));
        QCOMPARE(g_shellRequests[0].file, std::string(c.address));
        QCOMPARE(g_shellRequests[0].parameters, std::string());
        QCOMPARE(g_shellRequests[0].show, SW_SHOW);
    }
    // The commands without a page do nothing.
    g_shellRequests.clear();
    for (int id : {50054, 50055, 50056}) SendWidgetMessage(&about, WM_COMMAND, WPARAM(id), 0);
    QVERIFY(g_shellRequests.empty());
    QVERIFY(about.isVisible());
}

void DialogsTest::shellErrorsFallBackOrReport() {
    const struct {
        int code;
        bool fallback;
        const char* box;  // nullptr: no box
    } cases[] = {
        {0, true, nullptr},
        {2, true, nullptr},
        {31, true, nullptr},
        {3, false, "The specified path was not found."},
        {5, false, "The operating system denied access to the specified file."},
        {8, false, "There was not enough memory to complete the operation."},
        {11, false, "The file is invalid (it's a non-Win32 file)."},
        {26, false, "A sharing violation occurred."},
        {27, false, "The file name association is incomplete or invalid."},
        {28, false, "The DDE transaction could not be completed because the request timed out."},
        {29, false, "The DDE transaction failed."},
        {30, false, "The DDE transaction could not be completed because other DDE transactions were being processed."},
        {32, false, "The specified DLL was not found."},
        {4, false, nullptr},
        {33, false, nullptr},  // success: nothing more
    };
    for (const auto& c : cases) {
        g_shellRequests.clear();
        g_boxes.clear();
        g_shellResults = {c.code};
        OpenLink("IDS_LICENSE_URL");
        const QString label = QString::number(c.code);
        QVERIFY2(g_shellRequests.size() == (c.fallback ? 2u : 1u), qPrintable(label));
        if (c.fallback) {
            QCOMPARE(g_shellRequests[1].file, std::string("iexplore.exe"));
            QCOMPARE(g_shellRequests[1].parameters, std::string("https://deckmend.example/license"));
            QCOMPARE(g_shellRequests[1].verb, std::string("Open"));
        }
        QVERIFY2(g_boxes.size() == (c.box ? 1u : 0u), qPrintable(label));
        if (c.box) {
            QCOMPARE(g_boxes[0].text, std::string(c.box));
            QCOMPARE(g_boxes[0].caption, std::string("Error"));
            QCOMPARE(g_boxes[0].type, MB_ICONERROR);
        }
    }
}

void DialogsTest::versionString() {
    QCOMPARE(FormatFileVersion(std::nullopt), QStringLiteral("2.0"));
    QCOMPARE(FormatFileVersion(FixedFileVersion{0x00020003u, 0x00040005u}), QStringLiteral("2.3.4.5"));
    QCOMPARE(FormatFileVersion(FixedFileVersion{0xFFFF0000u, 0x0000FFFFu}), QStringLiteral("65535.0.0.65535"));
    QVERIFY(ReadFileVersionResource().has_value());
    QCOMPARE(GetFileVersionString(), QStringLiteral(DECKMEND_PRODUCT_VERSION));
    CAboutDlg about;
    about.OnInitDialog();
    QCOMPARE(about.VersionString(), GetFileVersionString());
}

void DialogsTest::aboutFontFollowsScreenResolution() {
    const struct {
        int dpiX, dpiY, pixels;
    } cases[] = {
        {96, 96, 13},   {97, 97, 11},    {120, 120, 13}, {125, 125, 14}, {126, 126, 18},
        {127, 127, 12}, {144, 144, 14},  {150, 150, 15}, {151, 151, 21}, {120, 144, 20},
    };
    for (const auto& c : cases)
        QVERIFY2(AboutFontPixelSize(c.dpiX, c.dpiY) == c.pixels,
                 qPrintable(QStringLiteral("%1x%2 gives %3").arg(c.dpiX).arg(c.dpiY).arg(AboutFontPixelSize(c.dpiX, c.dpiY))));
}

// deckmend-render-controls OUTDIR: draws every control in each of its states,
// the tip note and the about box, and a sample page that puts them together, as
// PNG files in OUTDIR, so that they can be looked at.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <cstdio>
#include <functional>

#include "ui/controls/control_styles.h"
#include "ui/controls/hyperlink.h"
#include "ui/controls/widget_message.h"
#include "ui/controls/xcmd_btn.h"
#include "ui/dialogs/about_dlg.h"
#include "ui/dialogs/tips_dlg.h"
#include "ui/settings/settings.h"
#include "ui_test_support.h"

namespace {

// A stand-in for a wizard page: the three bands, the white panel, and the
// parent's part of the highlight protocol.
class SamplePage : public QWidget {
public:
    SamplePage() { resize(888, 500); }  // the client area of the 888 x 530 frame

protected:
    bool event(QEvent* event) override {
        if (const CWidgetMessageEvent* message = AsWidgetMessage(event)) {
            if (message->message == WM_DROP_HIGHLIGHT) ForwardDropHighlight(this, message->wParam);
            return true;
        }
        return QWidget::event(event);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), BandLightColour());
        p.fillRect(QRect(0, 0, width(), 30), BandDarkColour());
        p.fillRect(QRect(0, height() - 30, width(), 30), BandDarkColour());
        p.fillRect(QRect(60, 75, 764, 30), RGB(222, 222, 222));
        p.fillRect(QRect(60, 105, 764, 315), Qt::white);
        p.setPen(Qt::black);
        QFont font(QStringLiteral("Segoe UI"));
        font.setPointSize(10);
        p.setFont(font);
        p.drawText(70, 80 + QFontMetrics(font).ascent(),
                   QString::fromStdString(LoadLangString("IDS_CTEXT1")));
        p.setPen(QColor(160, 160, 160));
        p.drawRect(108, 200, 550, 26);
    }
};

struct ButtonDef {
    const char* name;
    QRect rect;  // on the sample page
    int normal, hover, pressed;
    const char* captionKey;  // nullptr for none
    bool subText;
    bool disabled;
};

int CaptionLength(const char* key) {
    return static_cast<int>(QString::fromStdString(LoadLangString(key)).size());
}

std::vector<ButtonDef> PageButtons() {
    const int helpRight = 880;
    const int helpLeft = helpRight - 8 * CaptionLength("IDS_RHELP") - 16;
    const int faqRight = helpLeft - 20;
    const int faqLeft = faqRight - 10 * CaptionLength("IDS_FAQ") - 16;
    return {
        {"logo", QRect(5, 5, 93, 21), 289, 289, 289, nullptr, false, true},
        {"help_link", QRect(helpLeft, 5, helpRight - helpLeft, 16), 109, 257, 110, "IDS_RHELP", false, false},
        {"faq_link", QRect(faqLeft, 5, faqRight - faqLeft, 16), 233, 233, 233, "IDS_FAQ", false, false},
        {"home", QRect(13, 40, 32, 32), 112, 111, 113, nullptr, false, false},
        {"social", QRect(10, 480, 16, 16), 276, 276, 276, nullptr, false, false},
        {"tips_button", QRect(506, 480, 344, 16), 235, 235, 235, "IDS_TIPS", true, false},
        {"browse_button", QRect(670, 200, 104, 26), 308, 307, 309, "IDS_BROWSE", false, false},
        {"cancel_button", QRect(670, 240, 104, 26), 320, 321, 322, "IDS_CANCEL", false, false},
        {"repair_button", QRect(255, 280, 383, 99), 315, 314, 316, "IDS_REPAIR", false, false},
    };
}

CXCmdBtn* MakeButton(const ButtonDef& def, QWidget* parent, int id) {
    auto* button = new CXCmdBtn;
    button->setObjectName(QString::fromLatin1(def.name));
    button->m_nNormalImage = def.normal;
    button->m_nHoverImage = def.hover;
    button->m_nPressedImage = def.pressed;
    if (def.captionKey) button->m_strText = QString::fromStdString(LoadLangString(def.captionKey));
    if (def.subText) button->m_strSubText = QString::fromStdString(g_strTipText);
    button->m_bNotifyParent = true;
    const DWORD style = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW | (def.disabled ? WS_DISABLED : 0);
    button->Create(QString(), style, def.rect, parent, static_cast<UINT>(id));
    return button;
}

bool Save(const QPixmap& pixmap, const QDir& out, const QString& name) {
    const QString path = out.filePath(name + QStringLiteral(".png"));
    if (pixmap.save(path, "PNG")) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

// Each button in each state, cut out of the page with a margin of its background.
int RenderButtonStates(SamplePage& page, const QDir& out) {
    int failures = 0;
    constexpr int kMargin = 6;
    for (CXCmdBtn* button : page.findChildren<CXCmdBtn*>()) {
        const QRect area = button->geometry().adjusted(-kMargin, -kMargin, kMargin, kMargin);
        const struct {
            const char* state;
            std::function<void()> set;
        } states[] = {
            {"normal", [] {}},
            {"hover", [button] { button->m_bHover = TRUE; }},
            {"pressed", [button] { button->setDown(true); }},
            {"disabled", [button] { button->setEnabled(false); }},
        };
        for (const auto& state : states) {
            const bool wasEnabled = button->isEnabled();
            state.set();
            failures += !Save(page.grab(area), out,
                              button->objectName() + QLatin1Char('_') + QLatin1String(state.state));
            button->m_bHover = FALSE;
            button->setDown(false);
            button->setEnabled(wasEnabled);
        }
    }
    return failures;
}

int RenderLinks(const QDir& out) {
    QWidget host;
    host.resize(220, 40);
    host.setAutoFillBackground(true);
    QPalette palette = host.palette();
    palette.setColor(QPalette::Window, Qt::white);
    host.setPalette(palette);
    CHyperLink link;
    link.Create(QString::fromStdString(LoadLangString("IDS_POLICY_URL_TXT")), WS_CHILD | WS_VISIBLE,
                QRect(10, 10, 100, 20), &host, 50057);
    link.SetUnderline(true);
    link.SetColours(RGB(12, 111, 173), RGB(12, 111, 173), RGB(12, 111, 173));
    link.SetTextColour(RGB(12, 111, 173));
    host.grab();  // the first paint fits the link to its text
    return Save(host.grab(), out, QStringLiteral("hyperlink")) ? 0 : 1;
}

int RenderDialogs(QWidget& page, const QDir& out) {
    int failures = 0;
    CTipsDlg note(&page);
    note.Create();
    failures += !Save(note.grab(), out, QStringLiteral("tips_note"));
    CAboutDlg about;
    about.OnInitDialog();
    failures += !Save(about.grab(), out, QStringLiteral("about_box"));
    return failures;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) return 1;
    InitUiTests();
    ProgramFolder folder;
    QFile tips(QStringLiteral(DECKMEND_SOURCE_DIR "/resources/Tips.Txt"));
    if (tips.open(QIODevice::ReadOnly)) folder.WriteFile(QStringLiteral("Tips.Txt"), tips.readAll().toStdString());
    PickTip(kSettingsSection);

    SamplePage page;
    int id = 1000;
    for (const ButtonDef& def : PageButtons()) MakeButton(def, &page, id++);
    page.show();
    int failures = 0;
    failures += !Save(page.grab(), out, QStringLiteral("sample_page"));
    failures += RenderButtonStates(page, out);
    failures += RenderLinks(out);
    failures += RenderDialogs(page, out);
    std::printf("pictures written to %s\n", qPrintable(out.absolutePath()));
    return failures == 0 ? 0 : 1;
}

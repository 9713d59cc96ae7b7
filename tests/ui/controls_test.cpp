#include "controls_test.h"

#include <QMovie>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <vector>

#include "ui/controls/control_styles.h"
#include "ui/controls/gdiplus_bitmap.h"
#include "ui/controls/hyperlink.h"
#include "ui/controls/picture_resources.h"
#include "ui/controls/widget_message.h"
#include "ui/controls/xcmd_btn.h"
#include "ui/settings/settings.h"
#include "ui_test_support.h"

namespace {

// A page stand-in: records the messages its children send and forwards the
// highlight drops as the pages do.
class RecordingParent : public QWidget {
public:
    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Message> messages;

    RecordingParent() {
        resize(500, 200);
        setAutoFillBackground(true);
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, RGB(17, 115, 170));
        setPalette(palette);
    }
    int Count(UINT message) const {
        int count = 0;
        for (const Message& m : messages) count += m.message == message;
        return count;
    }

protected:
    bool event(QEvent* event) override {
        if (const CWidgetMessageEvent* m = AsWidgetMessage(event)) {
            messages.push_back({m->message, m->wParam, m->lParam});
            if (m->message == WM_DROP_HIGHLIGHT) ForwardDropHighlight(this, m->wParam);
            return true;
        }
        return QWidget::event(event);
    }
};

CXCmdBtn* MakeButton(QWidget* parent, int id, const QRect& rect, int normal, int hover, int pressed,
                     DWORD extraStyle = 0) {
    auto* button = new CXCmdBtn;
    button->m_nNormalImage = normal;
    button->m_nHoverImage = hover;
    button->m_nPressedImage = pressed;
    button->Create(QString(), WS_CHILD | WS_VISIBLE | BS_OWNERDRAW | extraStyle, rect, parent,
                   static_cast<UINT>(id));
    return button;
}

QImage PictureImage(int id) {
    CGdiPlusBitmapResource picture;
    if (!picture.Load(static_cast<UINT>(id))) return {};
    return picture.Bitmap().convertToFormat(QImage::Format_ARGB32);
}

// A button drawn alone, on an opaque background.
QImage Render(CXCmdBtn& button) {
    return button.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// Mouse moves of the real window system: enter and leave follow from them.
void MoveMouseTo(QWidget* window, const QPoint& pos) {
    QTest::mouseMove(window, pos);
    QCoreApplication::processEvents();
}

}  // namespace

void ControlsTest::init() {
    g_bWindows6 = TRUE;
    g_nHotButtonId = -1;
}

void ControlsTest::picturesLoadByNumberAtTheirSizes() {
    const struct {
        std::vector<int> ids;
        QSize size;
    } cases[] = {
        {{109, 257, 110, 233, 276, 235, 303}, QSize(16, 16)},
        {{50049}, QSize(18, 18)},
        {{326}, QSize(24, 24)},
        {{112, 111, 113, 313}, QSize(32, 32)},
        {{289}, QSize(93, 21)},
        {{308, 307, 309, 320, 321, 322}, QSize(104, 26)},
        {{50054}, QSize(109, 43)},
        {{315, 314, 316, 324, 323, 325}, QSize(380, 99)},
        {{50055}, QSize(287, 44)},
        {{102}, QSize(256, 256)},
        {{121, 40015, 122, 123, 1055, 299}, QSize(16, 16)},
    };
    for (const auto& c : cases) {
        for (int id : c.ids) {
            CGdiPlusBitmapResource picture;
            QVERIFY2(picture.Load(static_cast<UINT>(id)), qPrintable(QString::number(id)));
            QCOMPARE(QSize(picture.Width(), picture.Height()), c.size);
        }
    }
}

void ControlsTest::missingPictureLeavesBitmapEmpty() {
    CGdiPlusBitmapResource picture;
    QVERIFY(picture.Load(315));
    QVERIFY(!picture.Load(4711));
    QVERIFY(picture.IsEmpty());
    QCOMPARE(picture.Width(), 0);
    QVERIFY(!picture.Load(0));
    QVERIFY(!picture.Load(317, "PNG"));  // the animation is no PNG

    // A button whose picture is missing still draws its caption.
    RecordingParent parent;
    CXCmdBtn* button = MakeButton(&parent, 7, QRect(0, 0, 104, 26), 4711, 4711, 4711);
    button->m_strText = QStringLiteral("Browse");
    const QImage withText = parent.grab(button->geometry()).toImage();
    button->m_strText.clear();
    const QImage without = parent.grab(button->geometry()).toImage();
    QVERIFY(FirstDifferingColumn(withText, without) >= 0);
}

void ControlsTest::animationPlaysInALoop() {
    QMovie movie(AnimationResourcePath());
    QVERIFY(movie.isValid());
    QVERIFY(movie.frameCount() > 1);
    QCOMPARE(movie.loopCount(), -1);  // forever
    // Every frame decodes and fits the page's animation control (730 x 140).
    for (int frame = 0; frame < movie.frameCount(); ++frame) {
        QVERIFY(movie.jumpToNextFrame());
        QVERIFY(!movie.currentImage().isNull());
        QVERIFY(movie.currentImage().width() <= 730 && movie.currentImage().height() <= 140);
    }
}

void ControlsTest::pictureFollowsTheButtonState() {
    RecordingParent parent;
    CXCmdBtn* button = MakeButton(&parent, 368, QRect(10, 10, 104, 26), 308, 307, 309);
    const QPoint probe(52, 6);  // inside the face, above the caption
    const struct {
        const char* state;
        bool hover, highlighted, down;
        int picture;
    } cases[] = {
        {"normal", false, false, false, 308},
        {"hover", true, false, false, 307},
        {"highlighted", false, true, false, 307},
        {"pressed", false, false, true, 309},
        {"pressed while hovered", true, false, true, 309},
    };
    for (const auto& c : cases) {
        button->m_bHover = c.hover;
        button->m_bHighlighted = c.highlighted;
        button->setDown(c.down);
        QCOMPARE(button->CurrentImage(), c.picture);
        const QImage drawn = Render(*button);
        QVERIFY2(!Differs(drawn.pixel(probe), PictureImage(c.picture).pixel(probe)), c.state);
    }
    QVERIFY(Differs(PictureImage(308).pixel(probe), PictureImage(307).pixel(probe)));
    QVERIFY(Differs(PictureImage(308).pixel(probe), PictureImage(309).pixel(probe)));
}

void ControlsTest::disabledButtonDrawsNormalPictureAndTakesNoClick() {
    RecordingParent parent;
    CXCmdBtn* button = MakeButton(&parent, 369, QRect(10, 10, 104, 26), 308, 307, 309, WS_DISABLED);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QVERIFY(!button->isEnabled());
    QCOMPARE(button->CurrentImage(), 308);
    QVERIFY(!Differs(Render(*button).pixel(52, 6), PictureImage(308).pixel(52, 6)));
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    QTest::mouseClick(button, Qt::LeftButton);
    MoveMouseTo(&parent, QPoint(60, 20));
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(parent.Count(WM_COMMAND), 0);
    QVERIFY(!button->m_bHover);
}

void ControlsTest::clickSendsCommandToParent() {
    RecordingParent parent;
    CXCmdBtn* button = MakeButton(&parent, 375, QRect(10, 10, 104, 26), 308, 307, 309);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(parent.Count(WM_COMMAND), 1);
    const auto& command = parent.messages.back();
    QCOMPARE(LOWORD(command.wParam), 375);
    QCOMPARE(HIWORD(command.wParam), BN_CLICKED);
    QCOMPARE(command.lParam, reinterpret_cast<LPARAM>(button));
}

void ControlsTest::captionLayoutTable() {
    const struct {
        int width, length;
        bool subText, windows6;
        const char* face;
        double points;
        QRect caption, sub;
    } cases[] = {
        {380, 0, false, true, "Segoe UI", 28, QRect(170, 20, 200, 60), QRect()},
        {380, 8, false, true, "Segoe UI", 28, QRect(170, 20, 200, 60), QRect()},
        {380, 9, false, true, "Segoe UI", 28, QRect(130, 20, 300, 60), QRect()},
        {120, 4, true, false, "Segoe UI", 28, QRect(170, 20, 200, 60), QRect()},
        {119, 9, false, true, "Segoe UI", 11, QRect(30, 5, 200, 16), QRect()},
        {104, 10, false, true, "Segoe UI", 11, QRect(10, 5, 200, 16), QRect()},
        {50, 6, false, false, "Segoe UI", 11, QRect(30, 5, 200, 16), QRect()},
        {49, 4, false, true, "Segoe UI", 8, QRect(20, 2, 120, 16), QRect()},
        {16, 4, false, false, "Trebuchet MS", 8, QRect(20, 0, 120, 14), QRect()},
        {16, 4, true, true, "Segoe UI", 8, QRect(20, 0, 120, 16), QRect(40, 0, 500, 16)},
        {16, 8, true, false, "Trebuchet MS", 8, QRect(20, 0, 120, 14), QRect(60, 0, 500, 14)},
        {0, 3, false, true, "Segoe UI", 8, QRect(20, 2, 120, 16), QRect()},  // no picture
    };
    for (const auto& c : cases) {
        const CaptionLayout layout = LayoutCaption(c.width, c.length, c.subText, c.windows6);
        const QString label = QStringLiteral("width %1, length %2").arg(c.width).arg(c.length);
        QCOMPARE(QString::fromLatin1(layout.face), QString::fromLatin1(c.face));
        QVERIFY2(layout.points == c.points, qPrintable(label));
        QVERIFY2(layout.captionRect == c.caption, qPrintable(label));
        QVERIFY2(layout.subTextRect == c.sub, qPrintable(label));
    }
}

void ControlsTest::captionIsDrawnWhereTheTableSays() {
    RecordingParent parent;
    parent.resize(400, 120);
    CXCmdBtn* button = MakeButton(&parent, 375, QRect(0, 0, 380, 99), 324, 323, 325);
    const QImage bare = Render(*button);
    const struct {
        const char* caption;
        int left;
    } cases[] = {{"Save", 170}, {"Guardar", 170}, {"Speichern", 130}, {"Enregistrer", 130}};
    for (const auto& c : cases) {
        button->m_strText = QString::fromLatin1(c.caption);
        const int column = FirstDifferingColumn(Render(*button), bare);
        QVERIFY2(column >= c.left && column < c.left + 8, qPrintable(QStringLiteral("%1 at %2").arg(c.caption).arg(column)));
    }
}

void ControlsTest::subTextOfASmallLinkStartsAfterItsCaption() {
    RecordingParent parent;
    CXCmdBtn* button = MakeButton(&parent, 343, QRect(0, 0, 344, 16), 235, 235, 235);
    button->m_strText = QStringLiteral("Tip:");
    button->m_strSubText = QStringLiteral(" ");  // a sub-text row, with nothing to see
    const QImage captionOnly = Render(*button);
    button->m_strSubText = QStringLiteral("Keep the damaged file until you have checked the result.");
    const int column = FirstDifferingColumn(Render(*button), captionOnly);
    QVERIFY2(column >= 40 && column < 46, qPrintable(QString::number(column)));
}

void ControlsTest::greyTextFlagGreysSmallButtonsOnly() {
    RecordingParent parent;
    const struct {
        QRect rect;
        int picture;
        bool expectGrey;
    } cases[] = {{QRect(0, 0, 200, 16), 235, true}, {QRect(0, 0, 104, 26), 308, false}};
    for (const auto& c : cases) {
        CXCmdBtn* button = MakeButton(&parent, 1, c.rect, c.picture, c.picture, c.picture);
        button->m_strText = QStringLiteral("IIIIIIII");
        button->m_bGreyText = TRUE;
        const QImage drawn = Render(*button);
        bool sawGrey = false, sawWhite = false;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 20; x < 90; ++x) {
                const QRgb pixel = drawn.pixel(x, y);
                sawGrey |= !Differs(pixel, qRgb(128, 128, 128));
                sawWhite |= !Differs(pixel, qRgb(255, 255, 255));
            }
        QCOMPARE(sawGrey, c.expectGrey);
        QCOMPARE(sawWhite, !c.expectGrey);
        delete button;
    }
}

void ControlsTest::hoveringAnotherButtonDropsTheStickyHighlight() {
    RecordingParent parent;
    CXCmdBtn* first = MakeButton(&parent, 350, QRect(10, 10, 104, 26), 308, 307, 309);
    CXCmdBtn* second = MakeButton(&parent, 343, QRect(200, 10, 104, 26), 308, 307, 309);
    first->m_bSticky = TRUE;
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));

    MoveMouseTo(&parent, QPoint(50, 20));
    QVERIFY(first->m_bHover && first->m_bHighlighted);
    QCOMPARE(g_nHotButtonId, 350);
    MoveMouseTo(&parent, QPoint(150, 100));  // leaves without notifying: the highlight stays
    QVERIFY(!first->m_bHover);
    QVERIFY(first->m_bHighlighted);
    QCOMPARE(first->CurrentImage(), 307);

    MoveMouseTo(&parent, QPoint(250, 20));
    QVERIFY(second->m_bHover);
    QVERIFY(!first->m_bHighlighted);
    QCOMPARE(first->CurrentImage(), 308);
    QVERIFY(!Differs(Render(*first).pixel(52, 6), PictureImage(308).pixel(52, 6)));
    // The parent was asked to drop button 350's highlight, with lParam 1.
    bool asked = false;
    for (const auto& m : parent.messages)
        asked |= m.message == WM_DROP_HIGHLIGHT && m.wParam == 350 && m.lParam == 1;
    QVERIFY(asked);
}

void ControlsTest::leavingANotifyingStickyButtonDropsItsHighlight() {
    RecordingParent parent;
    CXCmdBtn* button = MakeButton(&parent, 365, QRect(10, 10, 104, 26), 308, 307, 309);
    button->m_bSticky = TRUE;
    button->m_bNotifyParent = true;
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    MoveMouseTo(&parent, QPoint(50, 20));
    QVERIFY(button->m_bHighlighted);
    MoveMouseTo(&parent, QPoint(300, 150));
    QVERIFY(!button->m_bHighlighted);
    QVERIFY(!button->m_bHover);
    QVERIFY(!button->m_bTracking);
    QCOMPARE(button->CurrentImage(), 308);
    const auto& last = parent.messages.back();
    QCOMPARE(last.message, WM_DROP_HIGHLIGHT);
    QCOMPARE(last.wParam, WPARAM(365));
    QCOMPARE(last.lParam, LPARAM(0));
}

void ControlsTest::stickyButtonWithoutNotifyKeepsHighlightUntilAnotherIsHovered() {
    RecordingParent parent;
    CXCmdBtn* button = MakeButton(&parent, 120, QRect(10, 10, 32, 32), 112, 111, 113);
    button->m_bSticky = TRUE;
    // The highlight drop arrives as a message, as from the parent.
    QEnterEvent enter(QPointF(5, 5), QPointF(15, 15), QPointF(15, 15));
    QCoreApplication::sendEvent(button, &enter);
    QVERIFY(button->m_bHighlighted);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    QVERIFY(button->m_bHighlighted);
    QCOMPARE(parent.Count(WM_DROP_HIGHLIGHT), 0);
    SendWidgetMessage(button, WM_DROP_HIGHLIGHT, 0, 0);
    QVERIFY(!button->m_bHighlighted);
    QVERIFY(!button->m_bHover);
}

void ControlsTest::linkPressReleasedOutsideSendsNoCommand() {
    RecordingParent parent;
    parent.setAutoFillBackground(false);
    CHyperLink link;
    link.Create(QStringLiteral("License"), WS_CHILD | WS_VISIBLE, QRect(20, 126, 40, 20), &parent, 50053);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QSignalSpy clicks(&link, &CHyperLink::clicked);
    QTest::mousePress(&link, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(link.IsPressed());
    QTest::mouseRelease(&link, Qt::LeftButton, {}, QPoint(200, 60));
    QVERIFY(!link.IsPressed());
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(parent.Count(WM_COMMAND), 0);
}

void ControlsTest::linkClickSendsCommandWithItsId() {
    RecordingParent parent;
    CHyperLink link;
    link.Create(QStringLiteral("License"), WS_CHILD | WS_VISIBLE, QRect(20, 126, 40, 20), &parent, 50053);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QSignalSpy clicks(&link, &CHyperLink::clicked);
    QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(parent.Count(WM_COMMAND), 1);
    QCOMPARE(parent.messages.back().wParam, WPARAM(50053));
    QCOMPARE(parent.messages.back().lParam, reinterpret_cast<LPARAM>(&link));

    link.setEnabled(false);
    QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(parent.Count(WM_COMMAND), 1);
}

void ControlsTest::linkFitsItselfToItsText() {
    RecordingParent parent;
    CHyperLink link;
    link.Create(QStringLiteral("Uninstall"), WS_CHILD | WS_VISIBLE, QRect(20, 99, 35, 20), &parent, 50052);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    const struct {
        const char* text;
        int lines;
    } cases[] = {{"Uninstall", 1}, {"Uninstall this program now", 1}, {"A", 1}, {"two\nlines\n", 2}};
    const QFontMetrics metrics(link.CurrentFont());
    for (const auto& c : cases) {
        link.SetWindowText(QString::fromLatin1(c.text));
        link.repaint();
        int widest = 0;
        for (const QString& line : QString::fromLatin1(c.text).split('\n'))
            widest = std::max(widest, metrics.horizontalAdvance(line));
        QCOMPARE(link.width(), widest + 3);
        QCOMPARE(link.height(), c.lines * metrics.height() + 3);
        QCOMPARE(link.pos(), QPoint(20, 99));
    }
    QVERIFY(metrics.height() <= 19);
}

void ControlsTest::linkDrawsUnderlinedTextInItsColours() {
    RecordingParent parent;
    CHyperLink link;
    link.Create(QStringLiteral("Privacy"), WS_CHILD | WS_VISIBLE, QRect(0, 0, 100, 20), &parent, 50057);
    link.SetColours(RGB(12, 111, 173), RGB(12, 111, 173), RGB(12, 111, 173));
    link.SetTextColour(RGB(12, 111, 173));
    link.SetUnderline(true);
    link.grab();
    const QImage drawn = link.grab().toImage();
    int underlineRow = -1;
    for (int y = 0; y < drawn.height(); ++y) {
        int linkPixels = 0;
        for (int x = 0; x < drawn.width() - 3; ++x) linkPixels += drawn.pixel(x, y) == qRgb(12, 111, 173);
        if (linkPixels >= drawn.width() - 4) underlineRow = y;
    }
    QVERIFY(underlineRow > 0);
    QCOMPARE(QColor(drawn.pixel(drawn.width() - 1, 0)), QColor(Qt::white));
}

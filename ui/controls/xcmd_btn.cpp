#include "ui/controls/xcmd_btn.h"

#include <QEnterEvent>
#include <QPainter>
#include <climits>

#include "ui/controls/control_styles.h"
#include "ui/controls/gdiplus_bitmap.h"
#include "ui/controls/widget_message.h"
#include "ui/settings/settings.h"

int g_nHotButtonId = -1;

namespace {

// Caption layouts of the large and middle pictures, by picture width and
// caption length.
struct CaptionRow {
    int minWidth, maxWidth;
    int minLength, maxLength;
    double points;
    QRect rect;
};

constexpr int kSmallPictureWidth = 50;
constexpr int kLargePictureWidth = 120;

const CaptionRow kCaptionRows[] = {
    {kLargePictureWidth, INT_MAX, 0, 8, 28, QRect(170, 20, 200, 60)},
    {kLargePictureWidth, INT_MAX, 9, INT_MAX, 28, QRect(130, 20, 300, 60)},
    {kSmallPictureWidth, kLargePictureWidth - 1, 0, 9, 11, QRect(30, 5, 200, 16)},
    {kSmallPictureWidth, kLargePictureWidth - 1, 10, INT_MAX, 11, QRect(10, 5, 200, 16)},
};

constexpr double kSmallPoints = 8;
constexpr int kSubTextWidth = 500;
constexpr int kCaptionWidth = 120;
constexpr int kCaptionLeft = 20;

const QColor kGreyText(128, 128, 128);
const QColor kFocusOuterColour(255, 200, 0);
const QColor kFocusInnerColour(20, 20, 20);

// The small pictures' font and text row depend on the font family.
struct SmallFace {
    const char* face;
    int y, height;
};
SmallFace SmallFaceFor(bool windows6) {
    return windows6 ? SmallFace{"Segoe UI", 2, 16} : SmallFace{"Trebuchet MS", 0, 14};
}

QFont FontInPoints(const char* face, double points) {
    QFont font(QString::fromLatin1(face));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    return font;
}

}  // namespace

CaptionLayout LayoutCaption(int pictureWidth, int captionLength, bool hasSubText, bool windows6) {
    for (const CaptionRow& row : kCaptionRows) {
        if (pictureWidth >= row.minWidth && pictureWidth <= row.maxWidth &&
            captionLength >= row.minLength && captionLength <= row.maxLength)
            return {"Segoe UI", row.points, row.rect, QRect()};
    }
    const SmallFace small = SmallFaceFor(windows6);
    if (!hasSubText)
        return {small.face, kSmallPoints, QRect(kCaptionLeft, small.y, kCaptionWidth, small.height),
                QRect()};
    return {small.face, kSmallPoints, QRect(kCaptionLeft, 0, kCaptionWidth, small.height),
            QRect(5 * captionLength + kCaptionLeft, 0, kSubTextWidth, small.height)};
}

QRect SubTextRectAfter(const CaptionLayout& layout, const QFontMetrics& metrics, const QString& caption) {
    QRect place = layout.subTextRect;
    if (place.isEmpty())
        return place;
    // Per-character places fit short captions only ("Suggerimento:" is longer).
    const int captionEnd = layout.captionRect.x() + metrics.horizontalAdvance(caption + QLatin1Char(' '));
    if (captionEnd > place.x())
        place.moveLeft(captionEnd);
    return place;
}

CXCmdBtn::CXCmdBtn() {
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    connect(this, &QAbstractButton::clicked, this, [this] { OnClicked(); });
}

CXCmdBtn::~CXCmdBtn() = default;

BOOL CXCmdBtn::Create(const QString& text, DWORD style, const QRect& rect, QWidget* parent,
                      UINT id) {
    if (parent == nullptr) return FALSE;
    setParent(parent);
    setText(text);
    setGeometry(rect);
    SetDlgCtrlID(this, static_cast<int>(id));
    if (objectName().isEmpty()) setObjectName(QStringLiteral("button%1").arg(id));
    setEnabled((style & WS_DISABLED) == 0);
    setVisible((style & WS_VISIBLE) != 0);
    return TRUE;
}

int CXCmdBtn::GetDlgCtrlID() const {
    return ::GetDlgCtrlID(this);
}

int CXCmdBtn::CurrentImage() const {
    if (isDown()) return m_nPressedImage;
    if (m_bHover || m_bHighlighted) return m_nHoverImage;
    return m_nNormalImage;
}

bool CXCmdBtn::event(QEvent* event) {
    if (const CWidgetMessageEvent* message = AsWidgetMessage(event)) {
        if (message->message == WM_DROP_HIGHLIGHT) OnDropHighlight();
        return true;
    }
    return QAbstractButton::event(event);
}

void CXCmdBtn::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    if (!m_bTracking) {
        m_bTracking = TRUE;
        OnMouseHover();
    }
}

void CXCmdBtn::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    OnMouseLeave();
}

void CXCmdBtn::changeEvent(QEvent* event) {
    QAbstractButton::changeEvent(event);
    // A disabled window gets no mouse: no hand cursor, no hover.
    if (event->type() == QEvent::EnabledChange) {
        if (isEnabled())
            setCursor(Qt::PointingHandCursor);
        else
            unsetCursor();
    }
}

void CXCmdBtn::OnMouseHover() {
    if (!isEnabled()) return;
    if (g_nHotButtonId != -1)
        SendWidgetMessage(parentWidget(), WM_DROP_HIGHLIGHT, static_cast<WPARAM>(g_nHotButtonId), 1);
    m_bHover = TRUE;
    if (m_bSticky) {
        g_nHotButtonId = GetDlgCtrlID();
        m_bHighlighted = TRUE;
    }
    update();
}

void CXCmdBtn::OnMouseLeave() {
    m_bTracking = FALSE;
    m_bHover = FALSE;
    if (m_bNotifyParent)
        SendWidgetMessage(parentWidget(), WM_DROP_HIGHLIGHT, static_cast<WPARAM>(GetDlgCtrlID()), 0);
    update();
}

void CXCmdBtn::OnDropHighlight() {
    m_bHighlighted = FALSE;
    m_bHover = FALSE;
    update();
}

void CXCmdBtn::OnClicked() {
    const WPARAM command = MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID()), BN_CLICKED);
    SendWidgetMessage(parentWidget(), WM_COMMAND, command, reinterpret_cast<LPARAM>(this));
}

void CXCmdBtn::CaptureBackground() {
    if (!m_dcBack.isNull() || !g_bWindows6 || parentWidget() == nullptr) return;
    m_dcBack = QPixmap(size());
    m_dcBack.fill(Qt::transparent);
    // Only the parent's own painting, not its other children.
    parentWidget()->render(&m_dcBack, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
}

void CXCmdBtn::paintEvent(QPaintEvent*) {
    CaptureBackground();
    QPainter painter(this);
    DrawItem(painter, isDown());
    if (hasFocus())
        DrawFocusRing(painter);
}

// The keyboard focus, seen on the white panel and on the blue bands alike:
// a dark line inside a light one.
void CXCmdBtn::DrawFocusRing(QPainter& painter) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kFocusOuterColour, 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(QPen(kFocusInnerColour, 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
}

void CXCmdBtn::DrawItem(QPainter& painter, bool pressed) {
    if (g_bWindows6 && !m_dcBack.isNull()) painter.drawPixmap(0, 0, m_dcBack);
    const int image = pressed ? m_nPressedImage : CurrentImage();
    CGdiPlusBitmapResource picture;
    int pictureWidth = 0;
    if (picture.Load(static_cast<UINT>(image))) {
        painter.drawImage(QPoint(0, 0), picture.Bitmap());
        pictureWidth = picture.Width();
    }
    DrawTexts(painter, pictureWidth);
}

void CXCmdBtn::DrawTexts(QPainter& painter, int pictureWidth) {
    const bool hasSubText = !m_strSubText.isEmpty();
    const CaptionLayout layout =
        LayoutCaption(pictureWidth, static_cast<int>(m_strText.size()), hasSubText, g_bWindows6);
    const bool small = pictureWidth < kSmallPictureWidth;
    painter.setFont(FontInPoints(layout.face, layout.points));
    painter.setPen(small && m_bGreyText ? kGreyText : QColor(Qt::white));
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    painter.drawText(layout.captionRect, flags, m_strText);
    if (!layout.subTextRect.isEmpty()) {
        const QRect place = SubTextRectAfter(layout, painter.fontMetrics(), m_strText);
        // A long tip ends in an ellipsis at the button's edge rather than mid-letter.
        const int room = std::min(place.width(), width() - place.x());
        const QString shown =
            painter.fontMetrics().elidedText(m_strSubText, Qt::ElideRight, std::max(room, 0));
        painter.drawText(place, flags, shown);
    }
}

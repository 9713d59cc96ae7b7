#include "ui/controls/hyperlink.h"

#include <QCursor>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>

#include "ui/controls/buffer_dc.h"
#include "ui/controls/control_styles.h"
#include "ui/controls/widget_message.h"
#include "ui/settings/settings.h"

namespace {

constexpr int kLeaveCheckMs = 300;
constexpr int kWidthMargin = 3;
constexpr int kHeightMargin = 3;

// Link fonts by cell height (ascent plus descent) in pixels.
struct LinkFaces {
    const char* face;
    int normalCell, largeCell;
};
LinkFaces LinkFacesFor(bool windows6) {
    return windows6 ? LinkFaces{"Segoe UI", 19, 22} : LinkFaces{"Trebuchet MS", 16, 26};
}

// The largest font of `face` whose cell is no taller than `cellHeight`.
QFont FontWithCellHeight(const char* face, int cellHeight) {
    QFont font(QString::fromLatin1(face));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    for (int pixels = cellHeight; pixels > 1; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).height() <= cellHeight) break;
    }
    return font;
}

}  // namespace

CHyperLink::CHyperLink() {
    const LinkFaces faces = LinkFacesFor(g_bWindows6);
    m_fontNormal = FontWithCellHeight(faces.face, faces.normalCell);
    m_fontLarge = FontWithCellHeight(faces.face, faces.largeCell);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    m_leaveTimer.setSingleShot(true);
    m_leaveTimer.setInterval(kLeaveCheckMs);
    connect(&m_leaveTimer, &QTimer::timeout, this, [this] { OnLeaveCheck(); });
}

CHyperLink::~CHyperLink() = default;

BOOL CHyperLink::Create(const QString& text, DWORD style, const QRect& rect, QWidget* parent,
                        UINT id) {
    if (parent == nullptr) return FALSE;
    setParent(parent);
    setGeometry(rect);
    SetDlgCtrlID(this, static_cast<int>(id));
    if (objectName().isEmpty()) setObjectName(QStringLiteral("link%1").arg(id));
    m_bDisabled = (style & WS_DISABLED) != 0;
    setEnabled(!m_bDisabled);
    SetWindowText(text);
    setVisible((style & WS_VISIBLE) != 0);
    return TRUE;
}

void CHyperLink::SetWindowText(const QString& text) {
    m_strText = text;
    FitToText();
    update();
}

void CHyperLink::SetColours(const QColor& link, const QColor& visited, const QColor& hover) {
    m_crLink = link;
    m_crVisited = visited;
    m_crHover = hover;
    update();
}

QStringList CHyperLink::Lines() const {
    QString text = m_strText;
    while (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    return text.split(QLatin1Char('\n'));
}

QSize CHyperLink::TextSize() const {
    const QFontMetrics metrics(CurrentFont());
    int widest = 0;
    const QStringList lines = Lines();
    for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
    return {widest + kWidthMargin, static_cast<int>(lines.size()) * metrics.height() + kHeightMargin};
}

void CHyperLink::FitToText() {
    const QSize fitted = TextSize();
    if (size() != fitted) resize(fitted);
}

void CHyperLink::paintEvent(QPaintEvent*) {
    FitToText();
    CBufferDC dc(this);
    dc.fillRect(dc.ClientRect(), m_crBackground);
    dc.setFont(CurrentFont());
    const QFontMetrics metrics(CurrentFont());
    int y = 0;
    for (const QString& line : Lines()) {
        dc.setPen(m_crText);
        dc.drawText(0, y + metrics.ascent(), line);
        if (m_bUnderline) {
            const int underlineY = y + metrics.ascent() + metrics.underlinePos();
            dc.setPen(m_crLink);
            dc.drawLine(0, underlineY, metrics.horizontalAdvance(line) - 1, underlineY);
        }
        y += metrics.height();
    }
}

bool CHyperLink::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const QString tip = ToolTipText();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(event);
}

void CHyperLink::Press(const QPoint& globalPos) {
    Q_UNUSED(globalPos);
    m_bPressed = true;
    m_rcScreen = QRect(mapToGlobal(QPoint(0, 0)), size());
}

void CHyperLink::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) Press(event->globalPosition().toPoint());
}

void CHyperLink::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) Press(event->globalPosition().toPoint());
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_bPressed) return;
    m_bPressed = false;
    const bool inside = m_rcScreen.contains(event->globalPosition().toPoint());
    if (m_bDisabled || !inside) return;
    const WPARAM id = static_cast<WPARAM>(GetDlgCtrlID(this));
    SendWidgetMessage(parentWidget(), WM_COMMAND, id, reinterpret_cast<LPARAM>(this));
    emit clicked();
}

void CHyperLink::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    m_leaveTimer.stop();
    m_bHover = true;
}

void CHyperLink::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (rect().contains(mapFromGlobal(QCursor::pos())))
        m_leaveTimer.start();
    else
        m_bHover = false;
}

void CHyperLink::OnLeaveCheck() {
    m_bHover = rect().contains(mapFromGlobal(QCursor::pos()));
}

void CHyperLink::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        m_bDisabled = !isEnabled();
        if (m_bDisabled)
            unsetCursor();
        else
            setCursor(Qt::PointingHandCursor);
    }
}

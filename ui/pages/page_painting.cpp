#include "ui/pages/page_painting.h"

#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

#include "ui/controls/picture_resources.h"
#include "ui/pages/page_layout.h"
#include "ui/settings/settings.h"

void PaintBands(QPainter& painter, const QRect& area) {
    const int band = layout::kBandHeight;
    painter.fillRect(QRect(area.left(), area.top(), area.width(), band), layout::kBandColour);
    painter.fillRect(QRect(area.left(), area.top() + band, area.width(), area.height() - 2 * band),
                     layout::kMiddleColour);
    painter.fillRect(QRect(area.left(), area.bottom() + 1 - band, area.width(), band), layout::kBandColour);
}

void PaintHeaderPanel(QPainter& painter, const QString& header, const QFont& font) {
    const QRect strip = layout::kPanelStrip.ToQRect();
    painter.fillRect(strip, layout::kPanelStripColour);
    painter.fillRect(layout::kPanelField.ToQRect(), Qt::white);
    painter.setPen(Qt::black);
    // The sentence starts at (70, 80) and stays inside the strip: a sentence
    // too long for it (some languages are wordier) gets a slightly smaller font.
    const QRect text(layout::kHeaderTextX, layout::kHeaderTextY, strip.right() - layout::kHeaderTextX - 8,
                     strip.bottom() - layout::kHeaderTextY);
    QFont fitted = font;
    constexpr int kSmallestPixels = 10;
    while (QFontMetrics(fitted).horizontalAdvance(header) > text.width() && fitted.pixelSize() > kSmallestPixels)
        fitted.setPixelSize(fitted.pixelSize() - 1);
    painter.setFont(fitted);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     painter.fontMetrics().elidedText(header, Qt::ElideRight, text.width()));
}

QFont MakePageFont(const QWidget* widget, int points) {
    QFont font(QString::fromLatin1(g_bWindows6 ? "Segoe UI" : "Trebuchet MS"));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    const int dpi = widget ? widget->logicalDpiY() : 96;
    font.setPixelSize((points * dpi + 36) / 72);
    return font;
}

QIcon AppIcon() { return QIcon(PictureResourcePath(kApplicationIconId)); }

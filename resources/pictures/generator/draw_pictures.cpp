// Draws the program's pictures: buttons, link icons, logos, the application
// icon and the repair animation. Run it with the output folder after changing
// a picture (resources/pictures/regenerate.sh); the results are committed.
//
// One visual language: the wizard's blues RGB(0,97,152) and RGB(17,115,170),
// white glyphs, an amber accent for the "mend". Captions are drawn by the
// buttons, never here; only the logos and the OK button carry letters.
#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "gif_writer.h"

namespace {

// ---- palette --------------------------------------------------------------

const QColor kBandDark(0, 97, 152);
const QColor kBandLight(17, 115, 170);
const QColor kAmber(255, 183, 64);
const QColor kAmberDark(226, 140, 20);
const QColor kInk(38, 50, 62);
const QColor kSlate(96, 116, 136);

// Button faces by state: top and bottom of the vertical gradient.
struct Face {
    QColor top, bottom, rim;
};
const Face kPrimary[] = {
    {QColor(30, 146, 210), QColor(0, 97, 152), QColor(0, 78, 124)},    // normal
    {QColor(58, 170, 232), QColor(14, 118, 178), QColor(0, 90, 140)},  // hover
    {QColor(0, 82, 130), QColor(12, 108, 164), QColor(0, 62, 100)},    // pressed
};
const Face kSecondary[] = {
    {QColor(122, 142, 162), QColor(84, 104, 124), QColor(66, 84, 102)},
    {QColor(142, 162, 182), QColor(100, 122, 144), QColor(76, 96, 116)},
    {QColor(72, 90, 108), QColor(96, 116, 136), QColor(56, 72, 88)},
};
enum State { kNormal = 0, kHover = 1, kPressed = 2 };

QImage Canvas(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void Smooth(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

QFont FontOf(const char* family, int pixels, QFont::Weight weight) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixels);
    font.setWeight(weight);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// A rounded button face with a soft drop shadow, a gradient, a rim and a gloss.
void ButtonFace(QPainter& p, QRectF r, qreal radius, const Face& face, bool pressed) {
    const QRectF body = r.adjusted(1, 1, -1, pressed ? -1 : -2.5);
    if (!pressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 40, 70, 45));
        p.drawRoundedRect(body.translated(0, 1.5), radius, radius);
    }
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0, face.top);
    fill.setColorAt(1, face.bottom);
    p.setBrush(fill);
    p.setPen(QPen(face.rim, 1));
    p.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    if (!pressed) {
        // A thin light edge along the top.
        QLinearGradient gloss(body.topLeft(), body.bottomLeft());
        gloss.setColorAt(0, QColor(255, 255, 255, 70));
        gloss.setColorAt(0.5, QColor(255, 255, 255, 0));
        p.setBrush(gloss);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(body.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1, radius - 1);
    }
}

// ---- glyphs ---------------------------------------------------------------

// A slide: landscape page with a title bar and text lines, in `r`.
void SlideGlyph(QPainter& p, const QRectF& r, const QColor& paper, const QColor& ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(paper);
    p.drawRoundedRect(r, r.height() * 0.08, r.height() * 0.08);
    p.setBrush(ink);
    const qreal m = r.height() * 0.16;
    p.drawRoundedRect(QRectF(r.left() + m, r.top() + m, r.width() * 0.55, r.height() * 0.12), 2, 2);
    for (int i = 0; i < 3; ++i) {
        const qreal y = r.top() + m + r.height() * (0.30 + i * 0.17);
        const qreal w = r.width() * (i == 2 ? 0.40 : 0.62);
        p.drawRoundedRect(QRectF(r.left() + m, y, w, r.height() * 0.07), 1.5, 1.5);
    }
}

// The mend: a zig-zag tear across `r`, in the colour behind the slide, held
// together by amber stitches across each of its legs.
void MendGlyph(QPainter& p, const QRectF& r, qreal thickness, const QColor& gap) {
    const int legs = 4;
    std::vector<QPointF> points;
    for (int i = 0; i <= legs; ++i)
        points.emplace_back(r.left() + r.width() * i / legs, r.top() + r.height() * (i % 2 ? 0.8 : 0.2));
    QPainterPath tear;
    tear.moveTo(points[0]);
    for (int i = 1; i <= legs; ++i) tear.lineTo(points[i]);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(gap, thickness, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.drawPath(tear);
    p.setPen(QPen(kAmber, thickness * 0.9, Qt::SolidLine, Qt::RoundCap));
    const qreal half = r.height() * 0.42;
    for (int i = 0; i < legs; ++i) {
        const QPointF from = points[i], to = points[i + 1];
        const QPointF mid = (from + to) / 2;
        const qreal dx = to.x() - from.x(), dy = to.y() - from.y();
        const qreal length = std::hypot(dx, dy);
        const QPointF normal(-dy / length * half, dx / length * half);
        p.drawLine(mid - normal, mid + normal);
    }
}

// The product mark: a blue rounded square holding a mended slide.
void MarkGlyph(QPainter& p, const QRectF& r) {
    QLinearGradient back(r.topLeft(), r.bottomRight());
    back.setColorAt(0, QColor(36, 150, 212));
    back.setColorAt(1, kBandDark);
    p.setPen(Qt::NoPen);
    p.setBrush(back);
    p.drawRoundedRect(r, r.width() * 0.22, r.width() * 0.22);
    const QRectF slide(r.left() + r.width() * 0.17, r.top() + r.height() * 0.24, r.width() * 0.66,
                       r.height() * 0.50);
    SlideGlyph(p, slide, Qt::white, QColor(120, 176, 214));
    MendGlyph(p, QRectF(slide.left(), slide.center().y() - r.height() * 0.08, slide.width(),
                        r.height() * 0.16),
              std::max<qreal>(1.0, r.width() * 0.045), QColor(24, 128, 190));
}

void QuestionGlyph(QPainter& p, const QRectF& r, const QColor& colour) {
    p.setPen(colour);
    p.setFont(FontOf("DejaVu Sans", static_cast<int>(r.height() * 0.78), QFont::Bold));
    p.drawText(r, Qt::AlignCenter, QStringLiteral("?"));
}

void CrossGlyph(QPainter& p, const QRectF& r, const QColor& colour, qreal width) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
}

void BulbGlyph(QPainter& p, const QRectF& r, const QColor& glass, const QColor& outline, qreal pen) {
    const qreal w = r.width();
    const QRectF globe(r.left() + w * 0.16, r.top() + w * 0.04, w * 0.68, w * 0.66);
    QPainterPath bulb;
    bulb.addEllipse(globe);
    QPainterPath neck;
    neck.addRoundedRect(QRectF(r.left() + w * 0.34, r.top() + w * 0.56, w * 0.32, w * 0.22), 1, 1);
    bulb = bulb.united(neck);
    p.setPen(QPen(outline, pen));
    p.setBrush(glass);
    p.drawPath(bulb);
    p.setPen(QPen(outline, pen, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(r.left() + w * 0.38, r.top() + w * 0.84), QPointF(r.left() + w * 0.62, r.top() + w * 0.84));
    p.drawLine(QPointF(r.left() + w * 0.42, r.top() + w * 0.95), QPointF(r.left() + w * 0.58, r.top() + w * 0.95));
}

void HouseGlyph(QPainter& p, const QRectF& r, const QColor& colour) {
    QPainterPath house;
    const qreal w = r.width(), h = r.height();
    house.moveTo(r.left() + w * 0.5, r.top());
    house.lineTo(r.right(), r.top() + h * 0.45);
    house.lineTo(r.right() - w * 0.14, r.top() + h * 0.45);
    house.lineTo(r.right() - w * 0.14, r.bottom());
    house.lineTo(r.left() + w * 0.60, r.bottom());
    house.lineTo(r.left() + w * 0.60, r.top() + h * 0.68);
    house.lineTo(r.left() + w * 0.40, r.top() + h * 0.68);
    house.lineTo(r.left() + w * 0.40, r.bottom());
    house.lineTo(r.left() + w * 0.14, r.bottom());
    house.lineTo(r.left() + w * 0.14, r.top() + h * 0.45);
    house.lineTo(r.left(), r.top() + h * 0.45);
    house.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(house);
}

void BubbleGlyph(QPainter& p, const QRectF& r, const QColor& fill, const QColor& mark) {
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(r.left(), r.top() + r.height() * 0.06, r.width(), r.height() * 0.70), 3, 3);
    QPainterPath tail;
    tail.moveTo(r.left() + r.width() * 0.22, r.top() + r.height() * 0.70);
    tail.lineTo(r.left() + r.width() * 0.20, r.bottom());
    tail.lineTo(r.left() + r.width() * 0.50, r.top() + r.height() * 0.70);
    tail.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(bubble.united(tail));
    p.setBrush(mark);
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(r.left() + r.width() * (0.27 + i * 0.23), r.top() + r.height() * 0.41), 1.3, 1.3);
}

void ShareGlyph(QPainter& p, const QRectF& r, const QColor& colour) {
    const QPointF a(r.left() + r.width() * 0.22, r.center().y());
    const QPointF b(r.right() - r.width() * 0.22, r.top() + r.height() * 0.2);
    const QPointF c(r.right() - r.width() * 0.22, r.bottom() - r.height() * 0.2);
    p.setPen(QPen(colour, 1.6));
    p.drawLine(a, b);
    p.drawLine(a, c);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    for (const QPointF& point : {a, b, c}) p.drawEllipse(point, r.width() * 0.17, r.width() * 0.17);
}

void TickGlyph(QPainter& p, const QRectF& r, const QColor& colour, qreal width) {
    QPainterPath tick;
    tick.moveTo(r.left(), r.top() + r.height() * 0.55);
    tick.lineTo(r.left() + r.width() * 0.38, r.bottom());
    tick.lineTo(r.right(), r.top());
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
}

void DownArrowGlyph(QPainter& p, const QRectF& r, const QColor& colour, qreal width) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const qreal cx = r.center().x();
    p.drawLine(QPointF(cx, r.top()), QPointF(cx, r.top() + r.height() * 0.62));
    QPainterPath head;
    head.moveTo(cx - r.width() * 0.28, r.top() + r.height() * 0.36);
    head.lineTo(cx, r.top() + r.height() * 0.64);
    head.lineTo(cx + r.width() * 0.28, r.top() + r.height() * 0.36);
    p.drawPath(head);
    QPainterPath tray;
    tray.moveTo(r.left(), r.top() + r.height() * 0.70);
    tray.lineTo(r.left(), r.bottom());
    tray.lineTo(r.right(), r.bottom());
    tray.lineTo(r.right(), r.top() + r.height() * 0.70);
    p.drawPath(tray);
}

// ---- pictures ---------------------------------------------------------------

// The large action buttons: face, then a round badge with the glyph on the left.
QImage LargeButton(State state, const std::function<void(QPainter&, const QRectF&)>& glyph) {
    QImage image = Canvas(380, 99);
    QPainter p(&image);
    Smooth(p);
    ButtonFace(p, QRectF(0, 0, 380, 99), 14, kPrimary[state], state == kPressed);
    const QPointF centre(72, state == kPressed ? 49 : 48);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, state == kHover ? 60 : 40));
    p.drawEllipse(centre, 36, 36);
    glyph(p, QRectF(centre.x() - 24, centre.y() - 24, 48, 48));
    return image;
}

void RepairGlyph(QPainter& p, const QRectF& r) {
    const QRectF slide(r.left() - 4, r.top() + 6, r.width() + 8, r.height() - 12);
    SlideGlyph(p, slide, Qt::white, QColor(120, 176, 214));
    MendGlyph(p, QRectF(slide.left(), slide.center().y() - 6, slide.width(), 12), 3.0, QColor(20, 120, 180));
}

void SaveGlyph(QPainter& p, const QRectF& r) {
    DownArrowGlyph(p, r.adjusted(6, 4, -6, -4), Qt::white, 4.5);
}

QImage SmallButton(const Face* faces, State state) {
    QImage image = Canvas(104, 26);
    QPainter p(&image);
    Smooth(p);
    ButtonFace(p, QRectF(0, 0, 104, 26), 6, faces[state], state == kPressed);
    return image;
}

QImage OkButton() {
    QImage image = Canvas(109, 43);
    QPainter p(&image);
    Smooth(p);
    ButtonFace(p, QRectF(0, 0, 109, 43), 8, kPrimary[kNormal], false);
    p.setPen(Qt::white);
    p.setFont(FontOf("Carlito", 20, QFont::Bold));
    p.drawText(QRectF(0, 0, 109, 40), Qt::AlignCenter, QStringLiteral("OK"));
    return image;
}

// Header and footer icons sit on the dark band: white glyphs.
QImage HelpIcon(State state) {
    QImage image = Canvas(16, 16);
    QPainter p(&image);
    Smooth(p);
    const QRectF r(1, 1, 14, 14);
    if (state == kNormal) {
        p.setPen(QPen(Qt::white, 1.4));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
        QuestionGlyph(p, r.translated(0, 0.5), Qt::white);
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(state == kHover ? QColor(Qt::white) : kAmber);
        p.drawEllipse(r);
        QuestionGlyph(p, r.translated(0, 0.5), kBandDark);
    }
    return image;
}

QImage IconOf(int size, const std::function<void(QPainter&, const QRectF&)>& draw) {
    QImage image = Canvas(size, size);
    QPainter p(&image);
    Smooth(p);
    draw(p, QRectF(0, 0, size, size));
    return image;
}

QImage HomeButton(State state, bool disabled) {
    return IconOf(32, [=](QPainter& p, const QRectF& r) {
        QColor ring = disabled ? QColor(255, 255, 255, 50) : QColor(255, 255, 255, state == kHover ? 90 : 55);
        if (state == kPressed) ring = kAmber;
        p.setPen(Qt::NoPen);
        p.setBrush(ring);
        p.drawEllipse(r.adjusted(1, 1, -1, -1));
        const QColor glyph = disabled ? QColor(255, 255, 255, 110) : (state == kPressed ? kBandDark : QColor(Qt::white));
        HouseGlyph(p, r.adjusted(8, 7.5, -8, -9), glyph);
    });
}

// The mark, then the word "Deckmend" ("mend" in amber) as large as fits beside it.
QImage Logo(int width, int height, bool onDark) {
    QImage image = Canvas(width, height);
    QPainter p(&image);
    Smooth(p);
    MarkGlyph(p, QRectF(0, 0, height, height));
    const QString deck = QStringLiteral("Deck");
    const QString mend = QStringLiteral("mend");
    const qreal left = height * 1.22;
    const qreal room = width - left - 1;
    QFont font = FontOf("Carlito", static_cast<int>(height * 0.80), QFont::Bold);
    while (QFontMetricsF(font).horizontalAdvance(deck + mend) > room && font.pixelSize() > 6)
        font.setPixelSize(font.pixelSize() - 1);
    p.setFont(font);
    const QFontMetricsF metrics(font);
    const qreal baseline = (height + metrics.capHeight()) / 2.0;
    p.setPen(onDark ? QColor(Qt::white) : kBandDark);
    p.drawText(QPointF(left, baseline), deck);
    p.setPen(onDark ? kAmber : kAmberDark);
    p.drawText(QPointF(left + metrics.horizontalAdvance(deck), baseline), mend);
    return image;
}

QImage AppIcon() {
    return IconOf(256, [](QPainter& p, const QRectF& r) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 40, 70, 50));
        p.drawRoundedRect(r.adjusted(10, 14, -10, -6), 52, 52);
        MarkGlyph(p, r.adjusted(8, 8, -8, -12));
    });
}

QImage CloseButton(int size, const QColor& back, const QColor& cross) {
    return IconOf(size, [=](QPainter& p, const QRectF& r) {
        p.setPen(Qt::NoPen);
        p.setBrush(back);
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        const qreal m = size * 0.3;
        CrossGlyph(p, r.adjusted(m, m, -m, -m), cross, size / 9.0);
    });
}

// ---- the repair animation ---------------------------------------------------

// A slide is scanned from left to right; behind the scan line its missing
// tiles come back, then a tick shows and the slide clears again.
std::vector<QImage> RepairAnimation() {
    constexpr int kFrames = 32, kWidth = 360, kHeight = 120;
    constexpr int kCols = 8, kRows = 4;
    const QRectF slide(110, 14, 140, 92);
    // Tiles that are damaged at the start (by column, row).
    const bool damaged[kRows][kCols] = {
        {0, 0, 1, 0, 0, 1, 0, 0}, {0, 1, 1, 0, 1, 0, 0, 1}, {1, 0, 0, 1, 1, 0, 1, 0}, {0, 0, 1, 0, 0, 0, 1, 1}};
    std::vector<QImage> frames;
    for (int f = 0; f < kFrames; ++f) {
        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        Smooth(p);
        const qreal sweep = std::min(1.0, f / 22.0);  // scan progress
        const qreal scanX = slide.left() + slide.width() * sweep;
        // Shadow and paper.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 60, 100, 30));
        p.drawRoundedRect(slide.translated(2, 3), 6, 6);
        p.setBrush(QColor(240, 246, 250));
        p.setPen(QPen(QColor(190, 208, 222), 1));
        p.drawRoundedRect(slide, 6, 6);
        const qreal tw = (slide.width() - 16) / kCols, th = (slide.height() - 16) / kRows;
        for (int row = 0; row < kRows; ++row)
            for (int col = 0; col < kCols; ++col) {
                const QRectF tile(slide.left() + 8 + col * tw + 1, slide.top() + 8 + row * th + 1, tw - 2, th - 2);
                const bool mended = tile.center().x() < scanX;
                QColor colour = (row == 0) ? kBandDark : kBandLight;
                if (damaged[row][col] && !mended) {
                    p.setPen(QPen(QColor(205, 214, 222), 1, Qt::DashLine));
                    p.setBrush(Qt::NoBrush);
                } else {
                    p.setPen(Qt::NoPen);
                    p.setBrush(damaged[row][col] ? kAmber : colour.lighter(row == 0 ? 100 : 135));
                }
                p.drawRoundedRect(tile, 2, 2);
            }
        if (sweep < 1.0) {
            QLinearGradient glow(scanX - 18, 0, scanX, 0);
            glow.setColorAt(0, QColor(255, 183, 64, 0));
            glow.setColorAt(1, QColor(255, 183, 64, 110));
            p.setPen(Qt::NoPen);
            p.setBrush(glow);
            p.drawRect(QRectF(scanX - 18, slide.top() + 2, 18, slide.height() - 4));
            p.setPen(QPen(kAmberDark, 2));
            p.drawLine(QPointF(scanX, slide.top() - 4), QPointF(scanX, slide.bottom() + 4));
        } else {
            const qreal grow = std::min(1.0, (f - 22) / 4.0);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(40, 170, 90));
            const QPointF c(slide.right() + 26, slide.center().y());
            p.drawEllipse(c, 16 * grow, 16 * grow);
            if (grow > 0.6) TickGlyph(p, QRectF(c.x() - 8, c.y() - 6, 16, 12), Qt::white, 3);
        }
        frames.push_back(image);
    }
    return frames;
}

// ---- the table ----------------------------------------------------------------

struct Picture {
    int id;
    std::function<QImage()> draw;
};

std::vector<Picture> Pictures() {
    return {
        {102, AppIcon},
        // Header links: help (normal, hover, pressed) and FAQ.
        {109, [] { return HelpIcon(kNormal); }},
        {257, [] { return HelpIcon(kHover); }},
        {110, [] { return HelpIcon(kPressed); }},
        {233, [] { return IconOf(16, [](QPainter& p, const QRectF& r) { BubbleGlyph(p, r.adjusted(1, 1, -1, -1), Qt::white, kBandDark); }); }},
        // Footer: social page and tips.
        {276, [] { return IconOf(16, [](QPainter& p, const QRectF& r) { ShareGlyph(p, r.adjusted(1, 1, -1, -1), Qt::white); }); }},
        {235, [] { return IconOf(16, [](QPainter& p, const QRectF& r) { BulbGlyph(p, r.adjusted(2, 0.5, -2, -1), kAmber, Qt::white, 1.1); }); }},
        // Home: normal, hover, pressed, and the disabled look.
        {112, [] { return HomeButton(kNormal, false); }},
        {111, [] { return HomeButton(kHover, false); }},
        {113, [] { return HomeButton(kPressed, false); }},
        {313, [] { return HomeButton(kNormal, true); }},
        {289, [] { return Logo(93, 21, true); }},
        // Small buttons: Browse (primary) and the secondary face of Cancel.
        {308, [] { return SmallButton(kPrimary, kNormal); }},
        {307, [] { return SmallButton(kPrimary, kHover); }},
        {309, [] { return SmallButton(kPrimary, kPressed); }},
        {320, [] { return SmallButton(kSecondary, kNormal); }},
        {321, [] { return SmallButton(kSecondary, kHover); }},
        {322, [] { return SmallButton(kSecondary, kPressed); }},
        // Large action buttons: Repair and Save.
        {315, [] { return LargeButton(kNormal, RepairGlyph); }},
        {314, [] { return LargeButton(kHover, RepairGlyph); }},
        {316, [] { return LargeButton(kPressed, RepairGlyph); }},
        {324, [] { return LargeButton(kNormal, SaveGlyph); }},
        {323, [] { return LargeButton(kHover, SaveGlyph); }},
        {325, [] { return LargeButton(kPressed, SaveGlyph); }},
        // Tips note: close and icon.
        {303, [] { return CloseButton(16, QColor(0, 0, 0, 0), QColor(120, 120, 100)); }},
        {326, [] { return IconOf(24, [](QPainter& p, const QRectF& r) { BulbGlyph(p, r.adjusted(3, 0.5, -3, -1), kAmber, QColor(150, 100, 20), 1.4); }); }},
        // About box: close, OK and the logo.
        {50049, [] { return CloseButton(18, QColor(236, 236, 236), QColor(90, 90, 90)); }},
        {50054, OkButton},
        {50055, [] { return Logo(287, 44, false); }},
        // Help menu marks: help, support, update, about, current and other language.
        {121, [] { return IconOf(16, [](QPainter& p, const QRectF& r) { p.setPen(Qt::NoPen); p.setBrush(kBandLight); p.drawEllipse(r.adjusted(1, 1, -1, -1)); QuestionGlyph(p, r.adjusted(1, 1.5, -1, -0.5), Qt::white); }); }},
        {40015, [] { return IconOf(16, [](QPainter& p, const QRectF& r) { p.setBrush(Qt::NoBrush); p.setPen(QPen(kBandLight, 3)); p.drawEllipse(r.adjusted(3, 3, -3, -3)); p.setPen(QPen(kAmber, 3, Qt::SolidLine, Qt::FlatCap)); for (int a = 45; a < 360; a += 90) p.drawArc(r.adjusted(3, 3, -3, -3), a * 16 - 200, 400); }); }},
        {122, [] { return IconOf(16, [](QPainter& p, const QRectF& r) { p.setBrush(Qt::NoBrush); p.setPen(QPen(kBandLight, 1.8, Qt::SolidLine, Qt::RoundCap)); p.drawArc(r.adjusted(2.5, 2.5, -2.5, -2.5), 30 * 16, 150 * 16); p.drawArc(r.adjusted(2.5, 2.5, -2.5, -2.5), 210 * 16, 150 * 16); p.setPen(Qt::NoPen); p.setBrush(kBandLight); p.drawPolygon(QPolygonF({QPointF(1.5, 5.5), QPointF(6, 5.5), QPointF(3, 9.5)})); p.drawPolygon(QPolygonF({QPointF(14.5, 10.5), QPointF(10, 10.5), QPointF(13, 6.5)})); }); }},
        {123, [] { return IconOf(16, [](QPainter& p, const QRectF& r) { p.setPen(Qt::NoPen); p.setBrush(kBandLight); p.drawEllipse(r.adjusted(1, 1, -1, -1)); p.setBrush(Qt::white); p.drawEllipse(QPointF(8, 4.8), 1.2, 1.2); p.drawRoundedRect(QRectF(7, 6.8, 2, 5.5), 0.8, 0.8); }); }},
        {1055, [] { return IconOf(16, [](QPainter& p, const QRectF& r) { TickGlyph(p, r.adjusted(3, 4, -3, -4), kBandDark, 2); }); }},
        {299, [] { return IconOf(16, [](QPainter& p, const QRectF& r) { p.setPen(QPen(QColor(170, 180, 190), 1.2)); p.setBrush(Qt::NoBrush); p.drawEllipse(r.adjusted(4.5, 4.5, -4.5, -4.5)); }); }},
    };
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) return 1;
    int failures = 0;
    for (const Picture& picture : Pictures()) {
        const QString path = out.filePath(QStringLiteral("%1.png").arg(picture.id));
        if (!picture.draw().save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    if (!WriteLoopingGif(out.filePath(QStringLiteral("317.gif")), RepairAnimation(), 90)) ++failures;
    return failures == 0 ? 0 : 1;
}

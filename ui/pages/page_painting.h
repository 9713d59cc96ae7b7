#pragma once
// Painting and fonts that every wizard page shares: the background bands, the
// header panel and the page fonts.
#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>

class QPainter;
class QWidget;

// Three bands across `area`: dark 30-pixel bands at the top and bottom, lighter between.
void PaintBands(QPainter& painter, const QRect& area);
// The grey strip with the header sentence and the white field below it.
void PaintHeaderPanel(QPainter& painter, const QString& header, const QFont& font);
// A page font of `points` points at the widget's resolution, in the face the
// pages use ("Segoe UI", or "Trebuchet MS" without the modern variants).
QFont MakePageFont(const QWidget* widget, int points);
// The application icon (picture 102).
QIcon AppIcon();

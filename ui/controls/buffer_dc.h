#pragma once
// Paint helper for a widget's paint event. Qt already paints every widget into
// an off-screen backing store and shows the result in one copy, so the buffered
// DC is a painter on the widget that also knows its client rectangle.
#include <QPainter>
#include <QRect>

class QWidget;

class CBufferDC : public QPainter {
public:
    explicit CBufferDC(QWidget* window);
    CBufferDC(const CBufferDC&) = delete;
    CBufferDC& operator=(const CBufferDC&) = delete;

    const QRect& ClientRect() const { return m_rect; }

private:
    QRect m_rect;
};

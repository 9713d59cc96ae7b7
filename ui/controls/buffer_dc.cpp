#include "ui/controls/buffer_dc.h"

#include <QWidget>

CBufferDC::CBufferDC(QWidget* window) : QPainter(window), m_rect(window->rect()) {}

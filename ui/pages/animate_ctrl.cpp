#include "ui/pages/animate_ctrl.h"

#include <QMovie>
#include <QPainter>

#include "ui/controls/picture_resources.h"

CAnimateCtrl::CAnimateCtrl(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

CAnimateCtrl::~CAnimateCtrl() = default;

bool CAnimateCtrl::Open(int id) {
    delete m_pMovie;
    m_pMovie = new QMovie(AnimationResourcePath(id), QByteArray(), this);
    if (!m_pMovie->isValid()) {
        delete m_pMovie;
        m_pMovie = nullptr;
        return false;
    }
    connect(m_pMovie, &QMovie::frameChanged, this, qOverload<>(&QWidget::update));
    return true;
}

void CAnimateCtrl::Play() {
    if (!m_pMovie)
        return;
    m_pMovie->stop();
    m_pMovie->jumpToFrame(0);
    m_pMovie->start();
}

void CAnimateCtrl::Stop() {
    if (m_pMovie)
        m_pMovie->setPaused(true);
}

bool CAnimateCtrl::IsPlaying() const { return m_pMovie && m_pMovie->state() == QMovie::Running; }

LRESULT CAnimateCtrl::WindowProc(UINT message, WPARAM, LPARAM) {
    switch (message) {
    case ACM_STOP:
        Stop();
        return TRUE;
    case ACM_PLAY:
        Play();
        return TRUE;
    default:
        return 0;
    }
}

void CAnimateCtrl::paintEvent(QPaintEvent*) {
    if (!m_pMovie)
        return;
    const QPixmap frame = m_pMovie->currentPixmap();
    if (frame.isNull())
        return;
    QPainter painter(this);
    // Centred, and scaled down (never up) when the frame is larger than the control.
    QSize size = frame.size();
    if (size.width() > width() || size.height() > height())
        size.scale(this->size(), Qt::KeepAspectRatio);
    QRect place(QPoint(0, 0), size);
    place.moveCenter(rect().center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(place, frame);
}

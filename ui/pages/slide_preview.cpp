#include "ui/pages/slide_preview.h"

#include <QHBoxLayout>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>

#include "ui/pages/page_layout.h"
#include "ui/pages/page_painting.h"
#include "ui/settings/settings.h"

namespace {

constexpr int kZoomMargin = 10;
constexpr int kCaptionHeight = 22;
constexpr int kThumbnailSpacing = 8;
// Border and padding around a thumbnail's picture, each side.
constexpr int kThumbnailFrame = 2;
const QColor kZoomBackground(0, 61, 96);

QString Lang(const char* key) { return QString::fromStdString(LoadLangString(key)); }

// The thumbnails follow the page's colours; the focus is a thicker frame in the band colour.
const char* kThumbnailStyle =
    "QToolButton { border: 1px solid rgb(190, 190, 190); padding: 1px; background: white; }"
    "QToolButton:hover { border-color: rgb(17, 115, 170); }"
    "QToolButton:focus { border: 2px solid rgb(0, 97, 152); padding: 0px; }";

}  // namespace

CSlideZoom::CSlideZoom(QWidget* page) : QWidget(page) {
    setObjectName(QStringLiteral("slideZoom"));
    setFocusPolicy(Qt::StrongFocus);
    hide();
}

void CSlideZoom::Show(const QPixmap& picture, const QString& caption) {
    m_picture = picture;
    m_caption = caption;
    setAccessibleName(caption);
    raise();
    show();
    setFocus(Qt::OtherFocusReason);
    update();
}

QRect CSlideZoom::PictureRect() const {
    const QRect room = rect().adjusted(kZoomMargin, kZoomMargin, -kZoomMargin, -kZoomMargin - kCaptionHeight);
    if (m_picture.isNull() || room.isEmpty())
        return {};
    QSize size = m_picture.size().scaled(room.size(), Qt::KeepAspectRatio);
    return QRect(QPoint(room.center().x() - size.width() / 2, room.top() + (room.height() - size.height()) / 2), size);
}

void CSlideZoom::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kZoomBackground);
    const QRect place = PictureRect();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(place, m_picture);
    painter.setPen(Qt::white);
    painter.drawRect(place.adjusted(-1, -1, 0, 0));
    const QRect caption(kZoomMargin, height() - kZoomMargin - kCaptionHeight, width() - 2 * kZoomMargin,
                        kCaptionHeight);
    painter.drawText(caption, Qt::AlignCenter | Qt::TextSingleLine, m_caption);
}

void CSlideZoom::mousePressEvent(QMouseEvent*) { Close(); }

void CSlideZoom::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        Close();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

// Tab or a click on another control ends the enlarged view, so that it never
// hides the control that has the focus.
void CSlideZoom::focusOutEvent(QFocusEvent* event) {
    const Qt::FocusReason reason = event->reason();
    if (isVisible() &&
        (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::MouseFocusReason)) {
        hide();
        emit left();
    }
    QWidget::focusOutEvent(event);
}

void CSlideZoom::Close() {
    hide();
    emit closed();
}

CSlidePreview::CSlidePreview(QWidget* page, const QRect& zoomArea)
    : QScrollArea(page), m_pRow(new QWidget), m_pRowLayout(new QHBoxLayout(m_pRow)), m_pZoom(new CSlideZoom(page)) {
    setObjectName(QStringLiteral("preview"));
    m_pRow->setObjectName(QStringLiteral("previewRow"));
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The white field of the page shows through.
    viewport()->setAutoFillBackground(false);
    m_pRow->setAutoFillBackground(false);
    m_pRow->setStyleSheet(QString::fromLatin1(kThumbnailStyle));
    m_pRowLayout->setContentsMargins(0, 0, 0, 0);
    m_pRowLayout->setSpacing(kThumbnailSpacing);
    m_pRowLayout->setSizeConstraint(QLayout::SetFixedSize);
    setWidget(m_pRow);
    m_pZoom->setGeometry(zoomArea);
    m_pZoom->setFont(MakePageFont(page, layout::kHeaderPoints));
    connect(m_pZoom, &CSlideZoom::closed, this, [this] {
        // The focus goes back to the slide that was enlarged.
        if (m_nEnlarged >= 0 && m_nEnlarged < Count())
            m_thumbnails[static_cast<std::size_t>(m_nEnlarged)]->setFocus(Qt::OtherFocusReason);
        m_nEnlarged = -1;
    });
    connect(m_pZoom, &CSlideZoom::left, this, [this] { m_nEnlarged = -1; });
    hide();
}

void CSlidePreview::SetPictures(const std::vector<std::string>& pictures) {
    m_pZoom->hide();
    m_nEnlarged = -1;
    for (QToolButton* thumbnail : m_thumbnails)
        delete thumbnail;
    m_thumbnails.clear();
    m_pictures.clear();
    for (const std::string& png : pictures) {
        QPixmap picture;
        if (picture.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<uint>(png.size()), "PNG"))
            m_pictures.push_back(picture);
    }
    for (int i = 0; i < Count(); ++i)
        m_thumbnails.push_back(AddThumbnail(i));
    ApplyTexts();
    // Shown first: a shown row tells the scroll area its new size at once.
    setVisible(Count() > 0);
    m_pRow->adjustSize();
    horizontalScrollBar()->setValue(0);
}

QToolButton* CSlidePreview::AddThumbnail(int index) {
    const QPixmap& picture = m_pictures[static_cast<std::size_t>(index)];
    auto* thumbnail = new QToolButton(m_pRow);
    thumbnail->setObjectName(QStringLiteral("slide%1").arg(index + 1));
    thumbnail->setFocusPolicy(Qt::StrongFocus);
    const QSize size = picture.size().scaled(QSize(4 * layout::kPreviewThumbnailHeight, layout::kPreviewThumbnailHeight),
                                             Qt::KeepAspectRatio);
    thumbnail->setIcon(QIcon(picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    thumbnail->setIconSize(size);
    thumbnail->setFixedSize(size + QSize(2 * kThumbnailFrame, 2 * kThumbnailFrame));
    connect(thumbnail, &QToolButton::clicked, this, [this, index] { Enlarge(index); });
    m_pRowLayout->addWidget(thumbnail);
    return thumbnail;
}

QString CSlidePreview::SlideName(int index) const { return Lang("IDS_PREVIEW_SLIDE").arg(index + 1); }

void CSlidePreview::Enlarge(int index) {
    if (index < 0 || index >= Count())
        return;
    m_nEnlarged = index;
    ensureWidgetVisible(m_thumbnails[static_cast<std::size_t>(index)]);
    m_pZoom->Show(m_pictures[static_cast<std::size_t>(index)],
                  SlideName(index) + QStringLiteral(" \u2013 ") + Lang("IDS_PREVIEW_CLOSE"));
}

void CSlidePreview::ApplyTexts() {
    setAccessibleName(Lang("IDS_PREVIEW_NAME"));
    const QString hint = Lang("IDS_PREVIEW_ENLARGE");
    for (int i = 0; i < Count(); ++i) {
        QToolButton* thumbnail = m_thumbnails[static_cast<std::size_t>(i)];
        thumbnail->setAccessibleName(SlideName(i));
        thumbnail->setAccessibleDescription(hint);
        thumbnail->setToolTip(SlideName(i) + QStringLiteral(" \u2013 ") + hint);
    }
    if (m_nEnlarged >= 0)
        Enlarge(m_nEnlarged);
}

#pragma once
// The save page's preview: the repaired file's first slides as small pictures
// in a row that scrolls sideways. A click on one (or Space on the one with
// the focus) shows it enlarged over the page, until the next click or Esc.
#include <QPixmap>
#include <QScrollArea>

#include <string>
#include <vector>

class QHBoxLayout;
class QToolButton;

// A slide shown enlarged over an area of the page.
class CSlideZoom : public QWidget {
    Q_OBJECT
public:
    explicit CSlideZoom(QWidget* page);
    void Show(const QPixmap& picture, const QString& caption);
    const QPixmap& Picture() const { return m_picture; }
    // Where the picture is drawn, scaled to fit above the caption.
    QRect PictureRect() const;

signals:
    // Closed by a click on it or a key: the focus goes back to where it was.
    void closed();
    // Closed because the focus moved on to another control.
    void left();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Close();

    QPixmap m_picture;
    QString m_caption;
};

class CSlidePreview : public QScrollArea {
    Q_OBJECT
public:
    // `zoomArea`: the part of `page` that an enlarged slide covers.
    CSlidePreview(QWidget* page, const QRect& zoomArea);

    // PNG pictures in slide order; one that does not decode is left out. The
    // row hides when none is left.
    void SetPictures(const std::vector<std::string>& pictures);
    int Count() const { return static_cast<int>(m_pictures.size()); }
    // Shows slide `index` (from 0) enlarged.
    void Enlarge(int index);
    // Names and hints in the language in use.
    void ApplyTexts();

private:
    QToolButton* AddThumbnail(int index);
    QString SlideName(int index) const;

    std::vector<QPixmap> m_pictures;
    std::vector<QToolButton*> m_thumbnails;
    QWidget* m_pRow;
    QHBoxLayout* m_pRowLayout;
    CSlideZoom* m_pZoom;
    int m_nEnlarged = -1;
};

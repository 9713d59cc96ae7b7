#pragma once
// The link control of the about box: underlined text that sizes itself to its
// text and, when clicked, sends WM_COMMAND (wParam the control id, lParam the
// link) to its parent as a widget message and emits `clicked()`.
#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "platform/win_types.h"

class CHyperLink : public QWidget {
    Q_OBJECT
public:
    CHyperLink();
    ~CHyperLink() override;

    // Makes the link a child of `parent` at `rect` with control id `id`. Of
    // `style` WS_VISIBLE and WS_DISABLED count. FALSE without a parent.
    BOOL Create(const QString& text, DWORD style, const QRect& rect, QWidget* parent, UINT id);

    // The link text; the link fits itself to it at once and at every paint.
    void SetWindowText(const QString& text);
    QString GetWindowText() const { return m_strText; }

    void SetUnderline(bool underline) { m_bUnderline = underline; update(); }
    void SetColours(const QColor& link, const QColor& visited, const QColor& hover);
    void SetBkColour(const QColor& colour) { m_crBackground = colour; update(); }
    void SetTextColour(const QColor& colour) { m_crText = colour; update(); }
    void UseLargeFont(bool large) {
        m_bLargeFont = large;
        FitToText();
        update();
    }

    bool IsUnderlined() const { return m_bUnderline; }
    QColor LinkColour() const { return m_crLink; }
    QColor TextColour() const { return m_crText; }
    QColor BkColour() const { return m_crBackground; }
    const QFont& CurrentFont() const { return m_bLargeFont ? m_fontLarge : m_fontNormal; }
    bool IsHovering() const { return m_bHover; }
    bool IsPressed() const { return m_bPressed; }

    // The size that fits the text: the widest line plus 3 pixels wide, the
    // lines plus a 3-pixel margin high.
    QSize TextSize() const;

    // Text for the tooltip; the program supplies none, so no tip shows.
    virtual QString ToolTipText() const { return {}; }

signals:
    void clicked();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QStringList Lines() const;
    void FitToText();
    void OnLeaveCheck();
    void Press(const QPoint& globalPos);

    QString m_strText;
    bool m_bUnderline = false;
    QColor m_crLink{0, 0, 255};
    QColor m_crVisited{0, 0, 255};
    QColor m_crHover{0, 0, 255};
    QColor m_crBackground{255, 255, 255};
    QColor m_crText{0, 0, 255};
    QFont m_fontNormal;
    QFont m_fontLarge;
    bool m_bLargeFont = false;
    bool m_bHover = false;
    bool m_bPressed = false;
    bool m_bDisabled = false;
    QRect m_rcScreen;        // the link on the screen when the button went down
    QTimer m_leaveTimer;     // decides again shortly after the mouse seemed to leave
};

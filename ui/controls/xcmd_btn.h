#pragma once
// The owner-drawn picture button: every button, header link, footer link, icon
// and dialog close button of the wizard. It draws a PNG resource chosen by its
// state, then a caption and an optional second text whose font and place follow
// from the picture's width (`LayoutCaption`).
//
// The owner creates it with `new`, sets the public members, calls `Create` and
// deletes it. A click sends WM_COMMAND (low word the control id, high word
// BN_CLICKED, lParam the button) to the parent as a widget message and also
// emits QAbstractButton::clicked(); an owner handles one of the two.
//
// Highlight protocol: on hover the button sends WM_DROP_HIGHLIGHT with wParam
// `g_nHotButtonId` (when not -1) and lParam 1 to its parent, and a button with
// the notify flag sends WM_DROP_HIGHLIGHT with its own id and lParam 0 when the
// mouse leaves it. The parent answers both with `ForwardDropHighlight`, which
// sends WM_DROP_HIGHLIGHT (0, 0) back to the button of that id.
#include <QAbstractButton>
#include <QFontMetrics>
#include <QPixmap>
#include <QRect>
#include <QString>

#include "platform/win_types.h"

// Control id of the button that holds the hover highlight; -1 for none. Pages
// and the tips pop-up reset it when they are created and destroyed.
extern int g_nHotButtonId;

// Where and in which font a button draws its texts.
struct CaptionLayout {
    const char* face;      // font family
    double points;         // font size in points
    QRect captionRect;     // x, y, width, height in button pixels
    QRect subTextRect;     // empty when the button draws no sub-text
};

// The layout for a picture `pictureWidth` pixels wide and a caption of
// `captionLength` characters; `hasSubText` and `windows6` matter for the small
// (under 50 pixels) pictures only.
CaptionLayout LayoutCaption(int pictureWidth, int captionLength, bool hasSubText, bool windows6);
// Where the sub-text starts: at its place in `layout`, or further right when
// `caption` drawn with `metrics` and a space would reach into it.
QRect SubTextRectAfter(const CaptionLayout& layout, const QFontMetrics& metrics, const QString& caption);

class CXCmdBtn : public QAbstractButton {
    Q_OBJECT
public:
    CXCmdBtn();
    ~CXCmdBtn() override;

    // Makes the button a child of `parent` at `rect` with control id `id`.
    // `text` is the window text, which is not drawn; of `style` WS_VISIBLE and
    // WS_DISABLED count. Returns FALSE without a parent.
    BOOL Create(const QString& text, DWORD style, const QRect& rect, QWidget* parent, UINT id);
    int GetDlgCtrlID() const;

    // The picture the next paint draws: pressed, hover (or highlighted), normal.
    int CurrentImage() const;

    int m_nNormalImage = 0;
    int m_nHoverImage = 0;
    int m_nPressedImage = 0;
    QString m_strText;
    QString m_strSubText;
    BOOL m_bGreyText = FALSE;      // small buttons draw their texts grey
    bool m_bNotifyParent = false;  // on leave, have the parent drop the highlight
    BOOL m_bSticky = FALSE;        // on hover, become the highlighted button
    BOOL m_bHover = FALSE;
    BOOL m_bHighlighted = FALSE;
    BOOL m_bTracking = FALSE;
    // The parent's pixels under the button, taken before the first paint.
    QPixmap m_dcBack;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

    // Draws the picture and the texts; `pressed` is the button's held state.
    virtual void DrawItem(QPainter& painter, bool pressed);

private:
    void OnMouseHover();
    void OnMouseLeave();
    void OnDropHighlight();
    void OnClicked();
    void CaptureBackground();
    void DrawTexts(QPainter& painter, int pictureWidth);
    void DrawFocusRing(QPainter& painter);
};

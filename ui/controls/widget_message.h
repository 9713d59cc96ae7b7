#pragma once
// Window messages between the controls and the widgets that own them. A message
// is a Qt event delivered at once on the calling (user-interface) thread; the
// receiver handles it in `event()` and may set a result. Controls are known to
// their parents by a numeric control id.
#include <QEvent>

#include "platform/win_types.h"

class QWidget;

class CWidgetMessageEvent : public QEvent {
public:
    CWidgetMessageEvent(UINT message, WPARAM wParam, LPARAM lParam);
    // The event type of every widget message.
    static QEvent::Type Type();

    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
};

// The message as a widget message event, or nullptr for any other event.
const CWidgetMessageEvent* AsWidgetMessage(const QEvent* event);

// Delivers the message to `target` and returns the result its handler set
// (0 when it ignored the message or there is no target).
LRESULT SendWidgetMessage(QWidget* target, UINT message, WPARAM wParam, LPARAM lParam);

// Control ids: kept on the widget, found among the direct children of a parent.
void SetDlgCtrlID(QWidget* control, int id);
int GetDlgCtrlID(const QWidget* control);  // 0 when the widget has none
QWidget* GetDlgItem(const QWidget* parent, int id);

// The parent's part of the highlight protocol: sends WM_DROP_HIGHLIGHT (0, 0) to
// the child whose control id is `id`, when there is one. Pages call it for every
// WM_DROP_HIGHLIGHT their buttons send them.
void ForwardDropHighlight(QWidget* parent, WPARAM id);

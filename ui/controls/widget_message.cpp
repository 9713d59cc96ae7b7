#include "ui/controls/widget_message.h"

#include <QCoreApplication>
#include <QVariant>
#include <QWidget>

#include "ui/controls/control_styles.h"

namespace {
constexpr const char* kControlIdProperty = "deckmendControlId";
}  // namespace

CWidgetMessageEvent::CWidgetMessageEvent(UINT message, WPARAM wParam, LPARAM lParam)
    : QEvent(Type()), message(message), wParam(wParam), lParam(lParam) {}

QEvent::Type CWidgetMessageEvent::Type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

const CWidgetMessageEvent* AsWidgetMessage(const QEvent* event) {
    if (event == nullptr || event->type() != CWidgetMessageEvent::Type()) return nullptr;
    return static_cast<const CWidgetMessageEvent*>(event);
}

LRESULT SendWidgetMessage(QWidget* target, UINT message, WPARAM wParam, LPARAM lParam) {
    if (target == nullptr) return 0;
    CWidgetMessageEvent event(message, wParam, lParam);
    QCoreApplication::sendEvent(target, &event);
    return event.result;
}

void SetDlgCtrlID(QWidget* control, int id) {
    control->setProperty(kControlIdProperty, id);
}

int GetDlgCtrlID(const QWidget* control) {
    return control ? control->property(kControlIdProperty).toInt() : 0;
}

QWidget* GetDlgItem(const QWidget* parent, int id) {
    if (parent == nullptr) return nullptr;
    const auto children = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children)
        if (GetDlgCtrlID(child) == id) return child;
    return nullptr;
}

void ForwardDropHighlight(QWidget* parent, WPARAM id) {
    if (QWidget* child = GetDlgItem(parent, static_cast<int>(id)))
        SendWidgetMessage(child, WM_DROP_HIGHLIGHT, 0, 0);
}

#pragma once
// What the pages need of the window that holds them: a widget to live in, a
// window to send their step commands to, and a place to leave the report of
// the repair that just ended for the save page that comes next. The main frame
// is one; the pages know nothing else of the application.
#include <QWidget>

#include "platform/window.h"
#include "repair/recovery_report.h"

class CWizardFrame : public QWidget, public CWnd {
public:
    using QWidget::QWidget;
    virtual void SetPendingReport(const RecoveryReport& report) = 0;
};

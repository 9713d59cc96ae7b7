#pragma once
// Real message boxes and file dialogs for the wizard, installed behind the
// platform's replaceable handlers (tests install scripted ones instead).
#include <QStringList>
#include <string>

class CWnd;
class QWidget;

// Installs Qt message boxes and file dialogs. Boxes asked for on another
// thread are shown on the user-interface thread while the caller waits.
void InstallQtDialogs();

// The widget of a window, or nullptr when it has none.
QWidget* WidgetOf(CWnd* window);

// The Qt name filters of a "description|patterns|description|patterns||" filter.
QStringList QtFiltersOf(const std::string& filter);

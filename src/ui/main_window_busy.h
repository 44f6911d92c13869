// While a secondary window (preferences, input chooser, a progress window, a
// file chooser, a question) is open, the main window takes no command from
// anyone: its menus, toolbar, controls and actions are disabled, so keyboard,
// mouse and assistive tools alike find them disabled. The main window itself
// stays enabled, so the secondary windows parented to it stay usable.
#pragma once

#include <QPointer>

class QWidget;

namespace quill {

class MainWindow;

/// Holds the main window disabled for its lifetime; holds nest, and the last
/// one released enables the window's commands again.
class MainWindowBusy {
public:
    explicit MainWindowBusy(MainWindow& window);
    ~MainWindowBusy();
    MainWindowBusy(const MainWindowBusy&) = delete;
    MainWindowBusy& operator=(const MainWindowBusy&) = delete;

private:
    QPointer<MainWindow> window_;
};

/// Holds a MainWindowBusy whenever `secondary` is shown, from now on: released
/// when it is hidden, closed or destroyed, taken again when it shows again.
void keepMainWindowBusyWhileShown(MainWindow& window, QWidget* secondary);

}  // namespace quill

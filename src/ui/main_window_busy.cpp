#include "ui/main_window_busy.h"

#include "ui/main_window.h"

#include <QEvent>
#include <QWidget>

#include <memory>

namespace quill {
namespace {

// Lives as a child of the secondary window, so it goes with it.
class BusyWhileShown : public QObject {
public:
    BusyWhileShown(MainWindow& window, QWidget* secondary) : QObject(secondary), window_(&window)
    {
        secondary->installEventFilter(this);
        if (secondary->isVisible())
            hold_ = std::make_unique<MainWindowBusy>(window);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !hold_ && window_)
            hold_ = std::make_unique<MainWindowBusy>(*window_);
        else if (event->type() == QEvent::Hide)
            hold_.reset();
        return false;
    }

private:
    QPointer<MainWindow> window_;
    std::unique_ptr<MainWindowBusy> hold_;
};

}  // namespace

MainWindowBusy::MainWindowBusy(MainWindow& window) : window_(&window)
{
    window.holdBusy();
}

MainWindowBusy::~MainWindowBusy()
{
    if (window_)
        window_->releaseBusy();
}

void keepMainWindowBusyWhileShown(MainWindow& window, QWidget* secondary)
{
    new BusyWhileShown(window, secondary);
}

}  // namespace quill

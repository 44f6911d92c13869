#include "ui/update_check.h"

#include "app/version.h"
#include "net/update_check.h"
#include "platform/paths.h"
#include "ui/main_window.h"
#include "ui/main_window_busy.h"

#include <QAction>
#include <QEvent>
#include <QMessageBox>

#include <optional>
#include <QPointer>
#include <QTimer>

namespace quill {
namespace {

// The window's one fetch; a child of the window, so it goes with it.
class UpdateChecker : public QObject {
public:
    explicit UpdateChecker(MainWindow& window)
        : QObject(&window), window_(window), command_(window.action(Command::CheckForUpdates))
    {
        setObjectName("updateChecker");
        window.installEventFilter(this);
    }

    void check()
    {
        const bool started = fetch_.start(updateFileAddress(), titleString(), [this](const std::string& body) {
            answer(body);
        });
        if (started)
            setCommandEnabled(false);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A closed window asks nothing any more. (This also runs while the
        // window is being destroyed, so it touches only the plain widget.)
        if (event->type() == QEvent::Hide && !static_cast<QWidget*>(watched)->isVisible() && fetch_.running()) {
            fetch_.cancel();
            setCommandEnabled(true);
        }
        return false;
    }

private:
    void setCommandEnabled(bool enabled)
    {
        if (command_)
            command_->setEnabled(enabled);
    }

    void answer(const std::string& body)
    {
        setCommandEnabled(true);
        WindowRecords& records = window_.records();
        const int latest = updateVersionNumber(body);
        if (latest == 0) {
            QMessageBox box(QMessageBox::Critical, records.text("Msg", "Error"),
                            records.text("Msg", "Internet connection problems"), QMessageBox::Ok, &window_);
            box.exec();
        } else if (latest > kVersionNumber) {
            QMessageBox box(QMessageBox::Question, records.text("Msg", "New Update"),
                            records.text("Msg", "New Update Text"), QMessageBox::Yes | QMessageBox::No, &window_);
            if (box.exec() == QMessageBox::Yes)
                window_.runCommand(Command::VisitHomepage);
        } else {
            QMessageBox box(QMessageBox::Information, records.text("Msg", "No Update"),
                            records.text("Msg", "No Update Text"), QMessageBox::Ok, &window_);
            box.exec();
        }
    }

    MainWindow& window_;
    QPointer<QAction> command_;
    UpdateFetch fetch_;
};

UpdateChecker& checkerOf(MainWindow& window)
{
    auto* checker = window.findChild<UpdateChecker*>("updateChecker", Qt::FindDirectChildrenOnly);
    return checker != nullptr ? *checker : *new UpdateChecker(window);
}

}  // namespace

void checkForUpdates(MainWindow& window)
{
    checkerOf(window).check();
}

void automaticUpdateCheck(MainWindow& window)
{
    Settings& settings = window.records().settings;
    if (!automaticCheckDue(settings.updateRange, settings.updateDate, localSecondsNow()))
        return;
    // Asked from the event loop, once the window has been drawn.
    QTimer::singleShot(0, &window, [&window] {
        WindowRecords& records = window.records();
        std::optional<MainWindowBusy> busy(std::in_place, window);
        QMessageBox box(QMessageBox::Question, records.text("Msg", "Check for Updates"),
                        records.text("Msg", "Ask check for updates"), QMessageBox::Yes | QMessageBox::No, &window);
        const bool yes = box.exec() == QMessageBox::Yes;
        records.settings.updateDate = localSecondsNow();
        busy.reset();
        if (yes)
            checkForUpdates(window);
    });
}

}  // namespace quill

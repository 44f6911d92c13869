// A real main window over fresh records, and helpers to answer the modal
// dialogs it opens.
#pragma once

#include "support/support.h"
#include "ui/input_list_model.h"
#include "ui/main_window.h"
#include "ui/window_mode.h"
#include "ui/window_records.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenuBar>
#include <QToolBar>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

namespace quill::test {

/// Runs events until `done` holds or five seconds pass.
inline bool waitUntil(const std::function<bool()>& done, int milliseconds = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

/// Calls `answer` with the modal dialog of type T once it is open, again
/// every 10 ms until `answer` says it has answered.
template <typename T>
void whenModalOpens(std::function<bool(T*)> answer)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog != nullptr && answer(dialog)) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(10);
}

/// Whether the main window's controls, menus and commands all say they are
/// disabled, to input and to the accessibility tree alike (`disabled` true),
/// or all enabled that have their window (`disabled` false).
inline ::testing::AssertionResult commandsDisabled(MainWindow& window, bool disabled)
{
    for (Command command : {Command::New, Command::AddInputFiles, Command::SelectOutputFolder, Command::ImportList,
                            Command::ExportList, Command::Exit, Command::Copy, Command::Help})
        if (window.action(command)->isEnabled() == disabled)
            return ::testing::AssertionFailure() << "command " << static_cast<int>(command);
    QWidget* newButton = window.mainToolBar()->widgetForAction(window.action(Command::New));
    for (QWidget* widget : std::initializer_list<QWidget*>{window.menuBar(), newButton, window.listView(),
                                                           window.outputFormatBox(), window.outputFolderBox()}) {
        const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        if (widget->isEnabled() == disabled || accessible == nullptr || accessible->state().disabled != disabled)
            return ::testing::AssertionFailure() << widget->metaObject()->className();
    }
    return ::testing::AssertionSuccess();
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { makeWindow(); }

    void makeWindow(const std::function<void(WindowHooks&)>& adjust = {})
    {
        window.reset();
        records = std::make_unique<WindowRecords>();
        loadWindowRecords(*records, folder.file("config.ini"));
        WindowHooks hooks;
        hooks.openUrl = [this](const QUrl& url) {
            openedUrls.push_back(url);
        };
        if (adjust)
            adjust(hooks);
        window = std::make_unique<MainWindow>(*records, hooks);
        window->start();
        window->activateWindow();
        QApplication::processEvents();
    }

    /// A small file that the list accepts (a RAW extension, not empty),
    /// its folders created.
    std::string rawFile(const std::string& name)
    {
        std::filesystem::create_directories(std::filesystem::path(folder.file(name)).parent_path());
        writeFile(folder.file(name), "raw bytes");
        return folder.file(name);
    }

    int rows() const { return window->listModel()->rowCount(); }

    TempFolder folder;
    std::unique_ptr<WindowRecords> records;
    std::unique_ptr<MainWindow> window;
    std::vector<QUrl> openedUrls;
};

}  // namespace quill::test

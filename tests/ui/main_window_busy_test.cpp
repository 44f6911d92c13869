// Behind every secondary window the main window takes no command: its
// controls, menus and actions are disabled while the secondary window itself
// stays usable, and all come back when it closes.
#include "ui/main_window_busy.h"
#include "ui/preferences_dialog.h"
#include "ui_fixture.h"

#include <QFileDialog>
#include <QMessageBox>

namespace quill::test {
namespace {

TEST_F(WindowTest, EverySecondaryWindowDisablesTheMainWindowUntilItCloses)
{
    makeWindow([](WindowHooks& hooks) {
        hooks.preferences = [](MainWindow& main) {
            openPreferences(main);
        };
    });
    struct Case {
        const char* name;
        std::function<void()> open;
        std::function<QWidget*()> find;
    };
    const std::vector<Case> cases{
        {"preferences",
         [&] {
             window->runCommand(Command::Preferences);
         },
         [&] {
             return window->findChild<PreferencesDialog*>();
         }},
        {"input chooser",
         [&] {
             window->runCommand(Command::AddInputFiles);
         },
         [&] {
             return window->findChild<QDialog*>("inputChooser");
         }},
        {"list import chooser",
         [&] {
             window->runCommand(Command::ImportList);
         },
         [&] {
             return window->findChild<QFileDialog*>("importListDialog");
         }},
        {"empty list warning",
         [&] {
             window->runCommand(Command::ExportList);
         },
         [&] {
             return window->findChild<QMessageBox*>();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.open();
        QWidget* secondary = nullptr;
        ASSERT_TRUE(waitUntil([&] {
            return (secondary = c.find()) != nullptr && secondary->isVisible();
        }));
        EXPECT_TRUE(secondary->isEnabled());
        EXPECT_TRUE(commandsDisabled(*window, true));
        // Not even a direct call gets through.
        window->runCommand(Command::New);
        EXPECT_TRUE(window->isBusy());
        secondary->close();
        ASSERT_TRUE(waitUntil([&] {
            return !window->isBusy();
        }));
        EXPECT_TRUE(commandsDisabled(*window, false));
        QApplication::processEvents();
    }
}

TEST_F(WindowTest, NestedHoldsEnableTheWindowOnlyAfterTheLast)
{
    auto outer = std::make_unique<MainWindowBusy>(*window);
    {
        MainWindowBusy inner(*window);
    }
    EXPECT_TRUE(commandsDisabled(*window, true));
    outer.reset();
    EXPECT_TRUE(commandsDisabled(*window, false));
}

}  // namespace
}  // namespace quill::test

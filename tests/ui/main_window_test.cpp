// The main window as a user meets it: its layout rules, menus, toolbar,
// shortcuts and commands.
#include "platform/paths.h"
#include "ui/images.h"
#include "ui_fixture.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QtTest/QTest>

namespace quill::test {
namespace {

std::vector<std::string> itemsOf(const QList<QAction*>& actions)
{
    std::vector<std::string> items;
    for (const QAction* action : actions) {
        if (action->isSeparator()) {
            items.push_back("|");
            continue;
        }
        std::string item = action->text().remove('&').toStdString();
        if (!action->shortcut().isEmpty())
            item += "\t" + action->shortcut().toString().toStdString();
        items.push_back(item);
    }
    return items;
}

TEST_F(WindowTest, ControlsFollowTheResizeRulesAtTwoSizes)
{
    for (QSize size : {QSize(510, 330), QSize(900, 640)}) {
        window->resize(size);
        QApplication::processEvents();
        const QWidget* area = window->centralWidget();
        const int w = area->width();
        const int a = area->height();
        SCOPED_TRACE(w);
        EXPECT_EQ(window->listView()->geometry(), QRect(10, 10, w - 130, a - 109));
        EXPECT_EQ(window->listView()->columnWidth(0), w - 160);
        EXPECT_EQ(window->outputFolderBox()->geometry().topLeft(), QPoint(10, a - 79));
        EXPECT_EQ(window->outputFolderBox()->width(), w - 130);
        EXPECT_EQ(window->outputFormatBox()->geometry().topLeft(), QPoint(10, a - 39));
        EXPECT_EQ(window->convertButton()->geometry(), QRect(w - 110, 10, 100, 100));
    }
    window->resize(300, 200);
    EXPECT_GE(window->width(), 510);
    EXPECT_GE(window->height(), 330);
}

TEST_F(WindowTest, MenusHoldEveryCommandInOrder)
{
    const std::vector<std::vector<std::string>> expected{
        {"New\tCtrl+N", "|", "Add Input Files...", "Select Output Folder...", "|", "Import Files...", "Export Files...",
         "|", "Exit\tAlt+X"},
        {"Copy\tCtrl+C", "Delete\tCtrl+Del", "|", "Select All\tCtrl+A"},
        {"Convert\tF5", "|", "Find a File Converter...", "|", "Preferences...", "|", "Preview\tF6"},
        {"User Manual...\tF1", "|", "Send Feedback", "Visit the Program's Homepage", "Check For a New Version", "|",
         "About..."},
    };
    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 4);
    EXPECT_EQ(itemsOf(menus), (std::vector<std::string>{"File", "Edit", "Converter", "Help"}));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(itemsOf(menus[i]->menu()->actions()), expected[static_cast<size_t>(i)]);
        for (const QAction* item : menus[i]->menu()->actions())
            EXPECT_TRUE(item->isSeparator() || !item->icon().isNull()) << item->text().toStdString();
    }
}

TEST_F(WindowTest, ToolbarHoldsItsButtonsInOrderWithTooltips)
{
    std::vector<std::string> tips;
    for (QAction* action : window->mainToolBar()->actions()) {
        tips.push_back(action->isSeparator() ? "|" : action->toolTip().toStdString());
        if (!action->isSeparator()) {
            EXPECT_FALSE(action->icon().isNull());
            EXPECT_EQ(window->mainToolBar()->widgetForAction(action)->accessibleName(), action->toolTip());
        }
    }
    EXPECT_EQ(tips, (std::vector<std::string>{"New", "Add Input Files...", "Select Output Folder...", "|",
                                              "Preferences...", "|", "Convert", "|", "User Manual...", "Send Feedback",
                                              "Visit the Program's Homepage", "Check For a New Version"}));
    EXPECT_EQ(window->mainToolBar()->iconSize(), QSize(32, 32));  // UI Size 2
}

TEST_F(WindowTest, EveryControlCarriesAnAccessibleName)
{
    for (QWidget* control : std::initializer_list<QWidget*>{window->listView(), window->outputFolderBox(),
                                                            window->outputFormatBox(), window->convertButton()})
        EXPECT_FALSE(control->accessibleName().isEmpty());
    for (QToolButton* button : window->centralWidget()->findChildren<QToolButton*>())
        EXPECT_FALSE(button->accessibleName().isEmpty());
}

TEST_F(WindowTest, OutputFormatBoxOffersTiffWithItsDescription)
{
    ASSERT_EQ(window->outputFormatBox()->count(), 1);
    EXPECT_EQ(window->outputFormatBox()->currentText().toStdString(), "TIFF (Tagged Image File Format)");
}

TEST_F(WindowTest, NewEmptiesTheListAndTheFolderTextAndSaysReady)
{
    window->addPaths({rawFile("a.dng")});
    window->outputFolderBox()->setEditText("/somewhere");
    window->setStatusText("busy");
    window->runCommand(Command::New);
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(records->inputs.size(), 0u);
    EXPECT_TRUE(window->outputFolderBox()->currentText().isEmpty());
    EXPECT_EQ(window->statusText().toStdString(), "Ready");
}

TEST_F(WindowTest, LinksOpenWithTheDesktopHandler)
{
    struct Case {
        Command command;
        std::string start;
    };
    for (const Case& c : {Case{Command::Help, "file://"}, Case{Command::SendFeedback, "mailto:"},
                          Case{Command::VisitHomepage, "https://"}}) {
        openedUrls.clear();
        window->runCommand(c.command);
        ASSERT_EQ(openedUrls.size(), 1u);
        EXPECT_TRUE(openedUrls[0].toString().startsWith(QString::fromStdString(c.start)))
            << openedUrls[0].toString().toStdString();
    }
    window->runCommand(Command::SendFeedback);
    EXPECT_TRUE(openedUrls.back().toString().contains("subject=Varnetta Quillmere 1.0 Feedback"));
    window->runCommand(Command::Help);
    EXPECT_TRUE(openedUrls.back().toLocalFile().endsWith("/quillmere.html"));
    const std::string program = QUILL_BINARY;
    EXPECT_TRUE(isRegularFile(program.substr(0, program.rfind('/') + 1) + "quillmere.html"))
        << "the manual is missing beside the program";
}

TEST_F(WindowTest, OutputFormatOptionsOpenThePreferencesOnTheOutputPage)
{
    int opened = 0;
    makeWindow([&](WindowHooks& hooks) {
        hooks.preferences = [&](MainWindow&) {
            ++opened;
        };
    });
    window->outputFormatBox()->setFocus();
    QTest::mouseClick(window->centralWidget()->findChildren<QToolButton*>()[1], Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] {
        return opened == 1;
    }));
    EXPECT_EQ(records->windowState.rememberedPage, 3);
}

TEST_F(WindowTest, StatusLabelReadsAsItsText)
{
    auto* label = window->statusBar()->findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(label);
    EXPECT_EQ(spoken->text(QAccessible::Name).toStdString(), "Ready");
    EXPECT_EQ(spoken->text(QAccessible::Description).toStdString(), "Status");
    window->setStatusText("Preparing...");
    EXPECT_EQ(spoken->text(QAccessible::Name).toStdString(), "Preparing...");
}

TEST_F(WindowTest, PressingAWindowCommandReturnsBeforeItsWindowOpens)
{
    std::vector<Command> opened;
    makeWindow([&](WindowHooks& hooks) {
        hooks.preferences = [&](MainWindow&) {
            opened.push_back(Command::Preferences);
        };
        hooks.convert = [&](MainWindow&) {
            opened.push_back(Command::Convert);
        };
    });
    auto* formatButton = window->centralWidget()->findChildren<QToolButton*>()[1];
    QToolBar* bar = window->mainToolBar();
    struct Press {
        QWidget* button;
        Command command;
    };
    const std::vector<Press> presses{
        {bar->widgetForAction(window->action(Command::Preferences)), Command::Preferences},
        {bar->widgetForAction(window->action(Command::Convert)), Command::Convert},
        {window->convertButton(), Command::Convert},
        {formatButton, Command::Preferences},
        {bar->widgetForAction(window->action(Command::SelectOutputFolder)), Command::SelectOutputFolder},
        {bar->widgetForAction(window->action(Command::AddInputFiles)), Command::AddInputFiles},
    };
    for (const Press& press : presses) {
        SCOPED_TRACE(press.button->accessibleName().toStdString());
        opened.clear();
        QAccessibleInterface* button = QAccessible::queryAccessibleInterface(press.button);
        ASSERT_NE(button->actionInterface(), nullptr);
        // A screen reader's press, as the accessibility bridge makes it.
        button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_TRUE(opened.empty());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_EQ(window->findChild<QDialog*>("inputChooser"), nullptr);
        if (press.command == Command::SelectOutputFolder) {
            whenModalOpens<QFileDialog>([&](QFileDialog* dialog) {
                opened.push_back(Command::SelectOutputFolder);
                dialog->reject();
                return true;
            });
        }
        if (press.command == Command::AddInputFiles) {
            ASSERT_TRUE(waitUntil([&] {
                return window->findChild<QDialog*>("inputChooser") != nullptr;
            }));
            window->findChild<QDialog*>("inputChooser")->close();
            QApplication::processEvents();
            continue;
        }
        ASSERT_TRUE(waitUntil([&] {
            return !opened.empty();
        }));
        EXPECT_EQ(opened, std::vector<Command>{press.command});
    }
}

TEST_F(WindowTest, CommandsWithoutTheirWindowYetAreDisabled)
{
    for (Command command : {Command::About, Command::CustomConverter, Command::CheckForUpdates})
        EXPECT_FALSE(window->action(command)->isEnabled());
    EXPECT_TRUE(window->action(Command::New)->isEnabled());
}

TEST_F(WindowTest, WindowShortcutsRunTheirCommands)
{
    window->addPaths({rawFile("a.dng")});
    window->outputFolderBox()->setFocus();
    QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(rows(), 0);
    openedUrls.clear();
    QTest::keyClick(window.get(), Qt::Key_F1);
    EXPECT_EQ(openedUrls.size(), 1u);
    QTest::keyClick(window.get(), Qt::Key_X, Qt::AltModifier);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowTest, ListShortcutsActOnlyWhileTheListHasTheFocus)
{
    window->addPaths({rawFile("a.dng"), rawFile("b.dng")});
    window->outputFolderBox()->setFocus();
    QTest::keyClick(window->outputFolderBox(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_FALSE(window->listView()->selectionModel()->hasSelection());
    window->listView()->setFocus();
    QTest::keyClick(window->listView(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(window->listView()->selectionModel()->selectedRows().size(), 2);
    QTest::keyClick(window->listView(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(rows(), 0);
}

TEST_F(WindowTest, InputChooserAddsChosenFilesAndCancelAddsNothing)
{
    const std::string file = rawFile("chosen.dng");
    for (bool accept : {false, true}) {
        window->runCommand(Command::AddInputFiles);
        auto* chooser = window->findChild<QDialog*>("inputChooser");
        ASSERT_NE(chooser, nullptr);
        EXPECT_EQ(chooser->size(), QSize(270, 160));
        auto* files = chooser->findChild<QPushButton*>("filesButton");
        EXPECT_EQ(chooser->focusWidget(), files);
        whenModalOpens<QFileDialog>([&](QFileDialog* dialog) {
            if (!accept) {
                dialog->reject();
                return true;
            }
            // Typed as a user would: the name field takes a full path.
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(file));
            if (dialog->selectedFiles() != QStringList{QString::fromStdString(file)})
                return false;
            static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
            return true;
        });
        files->click();
        ASSERT_TRUE(waitUntil([&] {
            return window->findChild<QDialog*>("inputChooser") == nullptr;
        }));
        waitUntil(
            [&] {
                return rows() == (accept ? 1 : 0);
            },
            2000);
        EXPECT_EQ(rows(), accept ? 1 : 0);
        EXPECT_TRUE(records->job.inputPath.empty());
    }
    EXPECT_EQ(window->listModel()->pathAt(0), file);
}

TEST(BuiltInImages, EveryNameRendersAtEverySize)
{
    for (std::string_view name : imageNames()) {
        const QIcon icon = builtInIcon(name);
        ASSERT_FALSE(icon.isNull()) << name;
        for (int size : {16, 24, 32, 48, 64}) {
            const QImage image = icon.pixmap(size, size).toImage();
            EXPECT_EQ(image.size(), QSize(size, size)) << name;
            // Drawn, not blank: the ink outline reaches the pixmap.
            bool inked = false;
            for (int y = 0; y < size && !inked; ++y)
                for (int x = 0; x < size && !inked; ++x)
                    inked = qAlpha(image.pixel(x, y)) > 200;
            EXPECT_TRUE(inked) << name << " at " << size;
        }
    }
    EXPECT_EQ(aboutBanner().size(), QSize(360, 40));
    EXPECT_EQ(iconSizeFor(4), 64);
    EXPECT_EQ(iconSizeFor(9), 16);
}

// The share of an image's drawn pixels that stand out from the window
// colour behind it (a difference in lightness a reader sees at once).
double standingOut(const QImage& image, QColor window)
{
    int drawn = 0;
    int standing = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() < 128)
                continue;
            ++drawn;
            const double a = pixel.alphaF();
            const double over = a * pixel.lightness() + (1 - a) * window.lightness();
            standing += std::abs(over - window.lightness()) >= 60 ? 1 : 0;
        }
    return drawn == 0 ? 0.0 : double(standing) / drawn;
}

TEST(BuiltInImages, EveryImageStandsOutOnLightAndDarkPalettesAtEverySize)
{
    const QPalette original = QApplication::palette();
    for (QColor window : {QColor("#efefef"), QColor("#353535")}) {
        QPalette palette = original;
        palette.setColor(QPalette::Window, window);
        QApplication::setPalette(palette);
        EXPECT_EQ(darkPalette(), window.lightness() < 128);
        for (std::string_view name : imageNames()) {
            for (int size : {16, 24, 32, 48, 64}) {
                // Line art in the dark ink on a dark window stood out at 0.2.
                EXPECT_GE(standingOut(builtInIcon(name).pixmap(size, size).toImage(), window), 0.25)
                    << name << " at " << size << " on " << window.name().toStdString();
            }
        }
    }
    QApplication::setPalette(original);
}

}  // namespace
}  // namespace quill::test

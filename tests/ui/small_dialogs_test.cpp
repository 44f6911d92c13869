// The custom converter and the About window, and the commands that open
// them, with the window's own hooks.
#include "ui/small_dialogs.h"

#include "app/version.h"
#include "ui_fixture.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

namespace quill::test {
namespace {

TEST(ConverterSearch, TypedTextIsCleanedByTheRule)
{
    const std::pair<QString, std::string> rows[] = {
        {"CR2", "cr2"},     {"Camera raw file", "camerarawf"},  // the first twelve characters, the blanks dropped
        {".,;!?", ""},      {QString::fromUtf8("Ärger.tif"), "rgertif"},
        {"  tiff", "tiff"}, {"abcdefghijklmnop", "abcdefghijkl"},
    };
    for (const auto& [typed, term] : rows)
        EXPECT_EQ(converterSearchTerm(typed), term) << typed.toStdString();
    EXPECT_EQ(converterSearchAddress("cr2", "tiff"), std::string(kMakerSiteRoot) + "/find/cr2-tiff/");
}

class SmallDialogTest : public WindowTest {
protected:
    void SetUp() override
    {
        makeWindow([this](WindowHooks& hooks) {
            hooks = windowHooks();
            hooks.openUrl = [this](const QUrl& url) {
                openedUrls.push_back(url);
            };
        });
    }

    QDialog* opened(Command command, const char* name)
    {
        window->runCommand(command);
        QApplication::processEvents();
        return window->findChild<QDialog*>(name);
    }

    bool closed(const char* name)
    {
        return waitUntil([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return window->findChild<QDialog*>(name) == nullptr;
        });
    }
};

TEST_F(SmallDialogTest, CommandsOfTheMenusAndTheToolbarAreEnabled)
{
    for (Command command : {Command::CustomConverter, Command::About, Command::CheckForUpdates})
        EXPECT_TRUE(window->action(command)->isEnabled()) << int(command);
    QWidget* button = window->mainToolBar()->widgetForAction(window->action(Command::CheckForUpdates));
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isEnabled());
}

TEST_F(SmallDialogTest, ConverterSearchesTheMakersSiteAndCloses)
{
    QDialog* dialog = opened(Command::CustomConverter, "customConverter");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->size(), QSize(370, 60));
    EXPECT_EQ(dialog->windowTitle(), records->text("Custom-Converter", "Title"));
    auto* from = dialog->findChild<QLineEdit*>("fromField");
    auto* to = dialog->findChild<QLineEdit*>("toField");
    ASSERT_TRUE(from != nullptr && to != nullptr);
    EXPECT_TRUE(from->text().isEmpty() && to->text().isEmpty());
    EXPECT_TRUE(waitUntil([&] {
        return from->hasFocus();
    }));
    QTest::keyClicks(from, "Canon CR2");
    to->setText("TIFF");
    QTest::keyClick(from, Qt::Key_Return);
    ASSERT_TRUE(closed("customConverter"));
    ASSERT_EQ(openedUrls.size(), 1u);
    EXPECT_EQ(openedUrls[0].toString().toStdString(), std::string(kMakerSiteRoot) + "/find/canoncr2-tiff/");
}

TEST_F(SmallDialogTest, ConverterWarnsOfAnEmptyFieldAndStaysOpen)
{
    QDialog* dialog = opened(Command::CustomConverter, "customConverter");
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QLineEdit*>("fromField")->setText("...");
    dialog->findChild<QLineEdit*>("toField")->setText("tiff");
    QString warned;
    whenModalOpens<QMessageBox>([&](QMessageBox* box) {
        warned = box->text();
        box->accept();
        return true;
    });
    dialog->findChild<QPushButton*>("searchButton")->click();
    EXPECT_EQ(warned, records->text("Msg", "Empty extensions"));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(openedUrls.empty());
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_TRUE(closed("customConverter"));
}

TEST_F(SmallDialogTest, AboutShowsTheProductAndItsLinks)
{
    QDialog* dialog = opened(Command::About, "about");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->size(), QSize(360, 240));
    EXPECT_EQ(dialog->windowTitle(), records->text("About", "Title"));
    EXPECT_EQ(dialog->findChild<QLabel*>("titleLine")->text().toStdString(), titleString());
    EXPECT_EQ(dialog->findChild<QLabel*>("noticeLine")->text().toStdString(), kMakerNotice);
    emit dialog->findChild<QLabel*>("webLink")->linkActivated(QString::fromUtf8(kMakerWebAddress.data()));
    emit dialog->findChild<QLabel*>("emailLink")->linkActivated("mailto:" + QString::fromUtf8(kSupportAddress.data()));
    ASSERT_EQ(openedUrls.size(), 2u);
    EXPECT_EQ(openedUrls[0].toString().toStdString(), kMakerWebAddress);
    EXPECT_EQ(openedUrls[1].toString().toStdString(), "mailto:" + std::string(kSupportAddress));
    QTest::keyClick(dialog, Qt::Key_Return);
    EXPECT_TRUE(closed("about"));
    dialog = opened(Command::About, "about");
    ASSERT_NE(dialog, nullptr);
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_TRUE(closed("about"));
}

}  // namespace
}  // namespace quill::test

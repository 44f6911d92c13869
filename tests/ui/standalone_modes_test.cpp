// "-T": the screenshots of the real program on the offscreen platform;
// "-U": the uninstall window.
#include "ui/standalone_modes.h"

#include "app/version.h"
#include "platform/paths.h"
#include "ui_fixture.h"

#include <QBuffer>
#include <QCheckBox>
#include <QDialog>
#include <QImageReader>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace quill::test {
namespace {

// Every quantisation table of a JPEG, in file order.
std::string quantisationTables(const std::string& jpeg)
{
    std::string tables;
    for (size_t at = 2; at + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[at]) == 0xFF;) {
        const auto marker = static_cast<unsigned char>(jpeg[at + 1]);
        const size_t length =
            (static_cast<unsigned char>(jpeg[at + 2]) << 8) | static_cast<unsigned char>(jpeg[at + 3]);
        if (marker == 0xDB)
            tables += jpeg.substr(at + 4, length - 2);
        if (marker == 0xDA)
            break;
        at += 2 + length;
    }
    return tables;
}

std::string jpegAtQuality(int quality)
{
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    return bytes.toStdString();
}

TEST(ScreenshotMode, WritesBothScreenshotsIntoTheFolder)
{
    TempFolder folder;
    const RunResult run = runQuillmere({"-T", folder.path()}, folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::pair<const char*, QSize> files[] = {{"quillmere1.jpg", QSize(510, 330)},
                                                   {"quillmere1x.jpg", QSize(180, 116)}};
    const std::string quality90 = quantisationTables(jpegAtQuality(90));
    ASSERT_FALSE(quality90.empty());
    for (const auto& [name, size] : files) {
        QImageReader reader(QString::fromStdString(folder.file(name)));
        EXPECT_EQ(reader.format(), "jpeg") << name;
        EXPECT_EQ(reader.size(), size) << name;
        EXPECT_EQ(quantisationTables(readFile(folder.file(name))), quality90) << name;
    }
}

TEST(ScreenshotMode, MissingFolderOrNoDisplayWritesNothing)
{
    TempFolder folder;
    const RunResult missing = runQuillmere({"-T", folder.file("absent")}, folder.path());
    EXPECT_EQ(missing.exitCode, 1);
    const RunResult headless = runProgram("/usr/bin/env", {"-u", "QT_QPA_PLATFORM", "-u", "DISPLAY", "-u",
                                                           "WAYLAND_DISPLAY", QUILL_BINARY, "-T", folder.path()});
    EXPECT_EQ(headless.exitCode, 1);
    EXPECT_EQ(std::count(headless.output.begin(), headless.output.end(), '\n'), 1) << headless.output;
    EXPECT_EQ(headless.output.rfind("Error: ", 0), 0u) << headless.output;
    EXPECT_FALSE(isRegularFile(folder.file("quillmere1.jpg")));
}

TEST(ScreenshotMode, AddressSitsAtTheBottomRightAndTheSmallShotKeepsTheShape)
{
    QImage white(510, 330, QImage::Format_RGB32);
    white.fill(Qt::white);
    const QImage marked = screenshotWithAddress(white);
    // The ink's bounding box: in the bottom band, ending 35 pixels from the right.
    QRect ink;
    for (int y = 0; y < marked.height(); ++y)
        for (int x = 0; x < marked.width(); ++x)
            if (marked.pixelColor(x, y) != QColor(Qt::white))
                ink |= QRect(x, y, 1, 1);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.top(), 330 - 26);
    EXPECT_LE(ink.right(), 510 - 35);  // antialiasing may touch the pixel after the advance
    EXPECT_GT(ink.right(), 510 - 45);
    EXPECT_GT(ink.left(), 150);
    EXPECT_EQ(smallScreenshot(QImage(400, 300, QImage::Format_RGB32)).size(), QSize(180, 135));
}

struct UninstallRow {
    bool untick;
    bool closeBox;
    bool opensPage;
};

TEST(UninstallWindow, NextOpensThePageOnlyWhenTickedAndEveryWayOutEnds)
{
    const UninstallRow rows[] = {{false, false, true}, {true, false, false}, {false, true, false}};
    for (const UninstallRow& row : rows) {
        std::vector<QUrl> opened;
        QSize size;
        QPoint centre;
        bool ticked = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            size = dialog->size();
            centre = dialog->geometry().center();
            auto* box = dialog->findChild<QCheckBox*>("uninstallBox");
            ticked = box->isChecked();
            if (row.untick)
                box->click();
            if (row.closeBox)
                dialog->close();
            else
                dialog->findChild<QPushButton*>("nextButton")->click();
        });
        runUninstallWindow([&](const QUrl& url) {
            opened.push_back(url);
        });
        EXPECT_EQ(size, QSize(300, 100));
        EXPECT_TRUE(ticked);
        const QPoint screen = QGuiApplication::primaryScreen()->availableGeometry().center();
        EXPECT_LE((centre - screen).manhattanLength(), 2);
        ASSERT_EQ(opened.size(), row.opensPage ? 1u : 0u);
        if (row.opensPage) {
            EXPECT_EQ(opened[0].toString().toStdString(), kUninstallPage);
        }
    }
}

}  // namespace
}  // namespace quill::test

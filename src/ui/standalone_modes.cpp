#include "ui/standalone_modes.h"

#include "app/version.h"
#include "cli/console.h"
#include "platform/paths.h"
#include "settings/defaults.h"
#include "ui/input_list_model.h"
#include "ui/main_window.h"
#include "ui/window_mode.h"
#include "ui/window_records.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QEventLoop>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <cmath>
#include <cstdlib>
#include <random>

namespace quill {
namespace {

constexpr int kScreenshotWaitMilliseconds = 500;
constexpr int kJpegQuality = 90;  // 9 on a scale of 0 to 10
constexpr int kSmallScreenshotWidth = 180;

const char* const kSampleNames[] = {"pic0102", "picture_a", "picture_b", "varnetta", "layout-haus", "summer", "winter"};

bool environmentSet(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

QString text(std::string_view value)
{
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

// Written whole or not at all.
bool saveJpeg(const QImage& image, const std::string& path)
{
    QSaveFile file(QString::fromStdString(path));
    return file.open(QIODevice::WriteOnly) && image.save(&file, "JPEG", kJpegQuality) && file.commit();
}

bool startFailsWithoutDisplay()
{
    if (displayReachable())
        return false;
    printLine("Error: no display to show the window on (DISPLAY is not set)");
    return true;
}

}  // namespace

bool displayReachable()
{
    return environmentSet("QT_QPA_PLATFORM") || environmentSet("DISPLAY") || environmentSet("WAYLAND_DISPLAY");
}

void runUninstallWindow(const std::function<void(const QUrl&)>& openUrl)
{
    LanguageTable language;
    buildLanguageTable(language);
    auto lookup = [&language](const char* key) {
        return QString::fromStdString(lookupText(language, "Uninstall", key));
    };
    QDialog window;
    window.setObjectName("uninstall");
    window.setWindowTitle(lookup("Title"));
    window.setFixedSize(300, 100);
    auto* box = new QCheckBox(lookup("Uninstall Text"), &window);
    box->setObjectName("uninstallBox");
    box->setGeometry(30, 20, 250, 20);
    box->setChecked(true);
    auto* next = new QPushButton(lookup("Next"), &window);
    next->setObjectName("nextButton");
    next->setGeometry(200, 60, 80, 25);
    next->setDefault(true);
    QObject::connect(next, &QPushButton::clicked, &window, [&window, box, &openUrl] {
        if (box->isChecked())
            openUrl(QUrl(text(kUninstallPage)));
        window.accept();
    });
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - QPoint(150, 50));
    window.exec();
}

int runUninstallMode(int argc, char** argv)
{
    if (startFailsWithoutDisplay())
        return 1;
    QApplication application(argc, argv);
    runUninstallWindow([](const QUrl& url) {
        QDesktopServices::openUrl(url);
    });
    return 0;
}

QImage screenshotWithAddress(QImage shot)
{
    QPainter painter(&shot);
    QFont font(QStringLiteral("Sans"), 8);
    font.setStyleHint(QFont::SansSerif);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QString address = text(kMakerWebAddress);
    const QFontMetrics metrics(font);
    // x and y name the text's top-left corner; the pen draws from the baseline.
    const int x = shot.width() - metrics.horizontalAdvance(address) - 35;
    const int y = shot.height() - 26;
    painter.drawText(QPoint(x, y + metrics.ascent()), address);
    painter.end();
    return shot;
}

QImage smallScreenshot(const QImage& shot)
{
    const double ratio = static_cast<double>(shot.width()) / shot.height();
    const int height = static_cast<int>(std::lround(kSmallScreenshotWidth / ratio));
    return shot.scaled(kSmallScreenshotWidth, height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

int runScreenshotMode(int argc, char** argv, const std::string& folder)
{
    if (startFailsWithoutDisplay())
        return 1;
    const std::string target = withTrailingSlash(folder.empty() ? programFolder() : folder);
    if (!isDirectory(target)) {
        printLine("Error: folder not found: " + target);
        return 1;
    }
    QApplication application(argc, argv);
    WindowRecords records;
    applyDefaults(records.settings, true);
    buildLanguageTable(records.language);
    buildFormatTables(records.formats);
    records.job.logMode = "T";
    Settings& settings = records.settings;
    settings.windowX = 400;
    settings.windowY = 400;
    settings.windowWidth = 510;
    settings.windowHeight = 330;
    settings.isMaximized = 0;

    // The commands as the window has them, but this mode never asks for updates.
    WindowHooks hooks = windowHooks();
    hooks.automaticUpdateCheck = nullptr;
    QPointer<MainWindow> window = new MainWindow(records, hooks);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->start();
    window->resize(510, 330);
    window->move(400, 400);
    window->activateWindow();

    const std::vector<std::string>& extensions = records.formats.inputFormatList;
    std::mt19937 pick(std::random_device{}());
    std::vector<InputEntry> samples;
    for (const char* name : kSampleNames) {
        const std::string extension = extensions.empty() ? std::string() : extensions[pick() % extensions.size()];
        samples.push_back({"~/images/" + std::string(name) + "." + extension, {}, 0});
    }
    window->listModel()->appendEntries(samples);
    window->listView()->scrollTo(window->listModel()->index(5, 0));
    const std::string converted = "~/converted/";
    window->rememberOutputFolderAndRefill(converted);
    records.job.outputFolder = converted;
    window->refillOutputFolderBox();
    window->outputFolderBox()->setEditText(QString::fromStdString(converted));

    QEventLoop wait;
    QTimer::singleShot(kScreenshotWaitMilliseconds, &wait, &QEventLoop::quit);
    QObject::connect(window.data(), &QObject::destroyed, &wait, &QEventLoop::quit);
    wait.exec();
    if (window.isNull())
        return 1;

    const QImage shot = screenshotWithAddress(window->grab().toImage());
    delete window.data();
    const bool written = saveJpeg(shot, target + std::string(kFileBaseName) + "1.jpg") &&
                         saveJpeg(smallScreenshot(shot), target + std::string(kFileBaseName) + "1x.jpg");
    if (!written) {
        printLine("Error: could not write the screenshots into " + target);
        return 1;
    }
    return 0;
}

}  // namespace quill

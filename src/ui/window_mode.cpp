#include "ui/window_mode.h"

#include "app/version.h"
#include "engine/batch/batch_run.h"
#include "platform/child_process.h"
#include "platform/paths.h"
#include "settings/config_file.h"
#include "settings/defaults.h"
#include "ui/batch_start.h"
#include "ui/instance_lock.h"
#include "ui/main_window.h"
#include "ui/open_with.h"
#include "ui/output_history.h"
#include "ui/placement.h"
#include "ui/preferences_dialog.h"
#include "ui/preview_window.h"
#include "ui/small_dialogs.h"
#include "ui/update_check.h"
#include "ui/window_records.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <fstream>

// Resources of a static library are registered by hand, outside any namespace.
static void registerApplicationIcon()
{
    Q_INIT_RESOURCE(quillmere_icon);
}

namespace quill {
namespace {

// For bench/window.sh: with QUILLMERE_FIRST_PAINT_FILE set, the wall-clock
// time (nanoseconds since 1970) when the window's first paint has been
// flushed is written to that file. Off unless asked for.
class FirstPaintReport : public QObject {
public:
    explicit FirstPaintReport(std::string path) : path_(std::move(path)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !reported_) {
            reported_ = true;
            // Runs once the whole window has been painted and flushed.
            QTimer::singleShot(0, this, [this] {
                const auto now = std::chrono::system_clock::now().time_since_epoch();
                std::ofstream(path_) << std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() << "\n";
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::string path_;
    bool reported_ = false;
};

}  // namespace

WindowHooks windowHooks()
{
    WindowHooks hooks;
    hooks.convert = [](MainWindow& main) {
        startBatch(main, {ownExecutable()});
    };
    hooks.preferences = [](MainWindow& main) {
        openPreferences(main);
    };
    hooks.customConverter = [](MainWindow& main) {
        showCustomConverter(main);
    };
    hooks.about = [](MainWindow& main) {
        showAbout(main);
    };
    hooks.checkForUpdates = [](MainWindow& main) {
        checkForUpdates(main);
    };
    hooks.automaticUpdateCheck = [](MainWindow& main) {
        automaticUpdateCheck(main);
    };
    hooks.preview = [](MainWindow& main) {
        togglePreview(main, ownExecutable());
    };
    return hooks;
}

void loadWindowRecords(WindowRecords& records, const std::string& configPath)
{
    DesktopSize desktop = kAssumedDesktop;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        desktop = {screen->size().width(), screen->size().height()};
    records.configPath = configPath;
    loadSettings(records.settings, configPath, productInputFormats(), productOutputFormats(), desktop);
    buildLanguageTable(records.language);
    buildFormatTables(records.formats);
}

bool saveOnExit(WindowRecords& records, const MainWindow& window)
{
    WindowPlacement placement;
    placement.maximised = window.isMaximized();
    placement.minimised = window.isMinimized();
    placement.x = window.x();
    placement.y = window.y();
    placement.width = window.width();
    placement.height = window.height();
    recordPlacement(records.settings, placement);
    clearHistoryUnlessKept(records.settings);
    return saveSettings(records.settings, records.configPath, productInputFormats(), productOutputFormats());
}

int runWindowMode(int argc, char** argv, const std::vector<std::string>& openPaths)
{
    InstanceLock lock(titleString());
    if (!lock.held()) {
        // The running window queues what this start was given; either way
        // this start ends at once, silently.
        if (!openPaths.empty())
            (void)handToRunningWindow(openWithSocketPath(lock.path()), openPaths);
        return 0;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kFileBaseName.data(), kFileBaseName.size()));
    QGuiApplication::setDesktopFileName(QString::fromUtf8(kFileBaseName.data(), kFileBaseName.size()));
    registerApplicationIcon();
    QApplication::setWindowIcon(QIcon(":/icons/quillmere.svg"));

    WindowRecords records;
    loadWindowRecords(records, dataFolder() + "config.ini");
    MainWindow window(records, windowHooks());
    FirstPaintReport firstPaint(std::getenv("QUILLMERE_FIRST_PAINT_FILE") ? std::getenv("QUILLMERE_FIRST_PAINT_FILE")
                                                                          : "");
    if (std::getenv("QUILLMERE_FIRST_PAINT_FILE") != nullptr)
        window.installEventFilter(&firstPaint);
    window.start();
    OpenWithServer openWith(openWithSocketPath(lock.path()), [&window](std::vector<std::string> paths) {
        receiveOpenedPaths(window, std::move(paths));
    });
    if (!openPaths.empty())
        window.addPaths(openPaths);
    if (records.settings.previewOpen)
        togglePreview(window, ownExecutable());
    QApplication::exec();
    saveOnExit(records, window);
    return 0;
}

}  // namespace quill

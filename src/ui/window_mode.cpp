#include "ui/window_mode.h"

#include "app/version.h"
#include "platform/paths.h"
#include "settings/config_file.h"
#include "settings/defaults.h"
#include "ui/instance_lock.h"
#include "ui/main_window.h"
#include "ui/output_history.h"
#include "ui/placement.h"
#include "ui/window_records.h"

#include <QApplication>
#include <QScreen>

namespace quill {

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

int runWindowMode(int argc, char** argv)
{
    InstanceLock lock(titleString());
    if (!lock.held())
        return 0;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kFileBaseName.data(), kFileBaseName.size()));
    QApplication::setApplicationDisplayName(QString::fromUtf8(kDisplayName.data(), kDisplayName.size()));

    WindowRecords records;
    loadWindowRecords(records, dataFolder() + "config.ini");
    WindowHooks hooks;
    MainWindow window(records, hooks);
    window.start();
    QApplication::exec();
    saveOnExit(records, window);
    return 0;
}

}  // namespace quill

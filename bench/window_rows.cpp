// How long the window takes to list a folder of 20,000 queued files: the
// folder is imported on the window's worker and every row reaches the view.
//   window_rows FOLDER   (FOLDER holds the files; prints milliseconds)
#include "ui/input_list_model.h"
#include "ui/main_window.h"
#include "ui/window_mode.h"
#include "ui/window_records.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTreeView>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER CONFIG_FILE\n", argv[0]);
        return 1;
    }
    QApplication application(argc, argv);
    quill::WindowRecords records;
    quill::loadWindowRecords(records, argv[2]);
    quill::MainWindow window(records, {});
    window.start();
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    window.addPaths({argv[1]});
    while (window.importRunning())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    window.listView()->scrollToBottom();
    window.listView()->viewport()->repaint();
    const qint64 folderMs = timer.elapsed();
    std::printf("rows %d\nfolder import to rows: %lld ms\n", window.listModel()->rowCount(),
                static_cast<long long>(folderMs));
    return 0;
}

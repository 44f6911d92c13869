// How long the preview window takes from a selection, or a settings change,
// to the picture, and the longest the window's event loop stalls meanwhile.
//   preview_latency RENDER_PROGRAM CONFIG_FILE FILE LOAD_MODE [ROUNDS]
// LOAD_MODE is the `RAW Load As` code; prints medians in milliseconds.
#include "ui/input_list_model.h"
#include "ui/main_window.h"
#include "ui/preview_window.h"
#include "ui/window_mode.h"
#include "ui/window_records.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

qint64 longestStall = 0;

// Runs events until the preview has a picture again; milliseconds taken.
qint64 untilPictured(quill::PreviewWindow& preview, const QElapsedTimer& since)
{
    while (preview.rendering() || preview.shownImage().isNull())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return since.elapsed();
}

qint64 median(std::vector<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s RENDER_PROGRAM CONFIG_FILE FILE LOAD_MODE [ROUNDS]\n", argv[0]);
        return 1;
    }
    QApplication application(argc, argv);
    quill::WindowRecords records;
    quill::loadWindowRecords(records, argv[2]);
    records.settings.rawLoadAs = std::atoi(argv[4]);
    const int rounds = argc > 5 ? std::atoi(argv[5]) : 9;
    quill::MainWindow window(records, {});
    window.start();
    window.addPaths({argv[3]});
    QApplication::processEvents();
    quill::togglePreview(window, argv[1]);
    quill::PreviewWindow& preview = *quill::openPreview(window);
    preview.resize(640, 520);
    QApplication::processEvents();

    // A timer that should fire every 5 ms: any longer gap is a stall.
    QElapsedTimer beat;
    beat.start();
    QTimer heart;
    QObject::connect(&heart, &QTimer::timeout, [&] {
        longestStall = std::max(longestStall, beat.restart() - 5);
    });
    heart.start(5);

    auto* selection = window.listView()->selectionModel();
    const QModelIndex row = window.listModel()->index(0);
    std::vector<qint64> selections, changes;
    for (int round = 0; round < rounds + 1; ++round) {
        selection->clearSelection();
        while (!preview.shownImage().isNull() || preview.rendering())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        QElapsedTimer timer;
        timer.start();
        selection->select(row, QItemSelectionModel::ClearAndSelect);
        const qint64 taken = untilPictured(preview, timer);
        if (round > 0)  // the first starts the render process
            selections.push_back(taken);
    }
    for (int round = 0; round < rounds; ++round) {
        quill::Settings draft = records.settings;
        draft.doImageColorCorrection = 1;
        draft.imageBrightness = 10 + round;
        draft.doFrame = 1;
        draft.solidLeft = draft.solidRight = 20 + round;
        QElapsedTimer timer;
        timer.start();
        preview.showDraft(&draft);
        // The draft waits for a pause in the changes; that pause is not the preview's time.
        while (!preview.rendering())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const qint64 paused = timer.elapsed();
        changes.push_back(untilPictured(preview, timer) - paused);
    }
    std::printf("selection to picture: %lld ms (median of %d)\n", static_cast<long long>(median(selections)), rounds);
    std::printf("settings change to picture: %lld ms (median of %d, after the 150 ms pause)\n",
                static_cast<long long>(median(changes)), rounds);
    std::printf("longest event-loop stall: %lld ms\n", static_cast<long long>(longestStall));
    std::printf("%s\n", preview.info()->text().toStdString().c_str());
    return 0;
}

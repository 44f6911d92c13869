// The small progress windows of a folder import, a list import and a list
// export: a bar polled every 15 ms while a worker runs, a stop question on
// the close box, the result in the main window's status bar, then a 700 ms
// hold so the end stays visible before the window closes. The main window
// takes no command while one is open.
#pragma once

#include "engine/run/progress.h"

#include <QDialog>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

class QProgressBar;
class QTimer;

namespace quill {

class MainWindow;
class MainWindowBusy;

enum class TransferKind {
    FolderImport,
    ListImport,
    ListExport
};

/// One transfer: what runs on the worker and what the window shows of it.
struct Transfer {
    TransferKind kind = TransferKind::FolderImport;
    /// The bar runs from 0 to this; a normal end fills it.
    int barMaximum = 0;
    /// The converted count the worker adds to (a drop of two folders reports both).
    int32_t convertedBefore = 0;
    /// Runs on the worker thread; false when its result could not be kept.
    std::function<bool(ProgressRecord&)> work;
    /// Runs on the GUI thread at every poll and once after the worker ended:
    /// rows a worker found reach the list here, never from the worker.
    std::function<void()> collect;
    /// Shown in an error box when `work` returned false.
    QString failure;
};

class TransferWindow : public QDialog {
    Q_OBJECT

public:
    TransferWindow(MainWindow& window, Transfer transfer);
    ~TransferWindow() override;

    /// Shows the window, takes the main window's commands and starts the
    /// worker; returns at once. The window deletes itself after it closed.
    void start();

    QProgressBar* bar() const { return bar_; }
    /// The worker's record; a test may pause the worker through it.
    ProgressRecord& progress() { return progress_; }
    /// The worker has ended and its result is shown.
    bool ended() const { return holding_; }
    /// The converted count at the end.
    int32_t converted() const { return converted_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void poll();
    void askToStop();
    void showEnd();
    void finish();

    MainWindow& window_;
    Transfer transfer_;
    ProgressRecord progress_;
    std::thread worker_;
    std::atomic<bool> workerDone_{false};
    std::atomic<bool> workerOk_{true};
    std::unique_ptr<MainWindowBusy> busy_;
    int shown_ = 0;
    int32_t converted_ = 0;
    bool asking_ = false;
    bool stopped_ = false;
    bool holding_ = false;
    QProgressBar* bar_;
    QTimer* timer_;
};

}  // namespace quill

// The conversion progress window: polls the run's progress record every
// 15 ms, shows the file in hand, the time left and a bar, asks before
// stopping, and ends with a summary and an enabled OK button.
#pragma once

#include "engine/run/progress.h"

#include <QDialog>

#include <functional>
#include <mutex>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace quill {

class MainWindow;

/// How the window reaches the run; every call is made on the GUI thread.
struct RunControl {
    ProgressRecord* progress = nullptr;
    std::function<bool()> ended;     // the run's thread has finished
    std::function<void()> stop;      // no new file starts
    std::function<int()> converted;  // valid once ended
    std::function<int()> skipped;    // outputs kept as they were; valid once ended
};

class ProgressWindow : public QDialog {
public:
    ProgressWindow(MainWindow& window, RunControl run, int total);

    QLabel* fileLabel() const { return fileLabel_; }
    QLabel* timeLabel() const { return timeLabel_; }
    QProgressBar* bar() const { return bar_; }
    QPushButton* okButton() const { return ok_; }
    bool finished() const { return finished_; }
    /// The record's file index now.
    int fileIndex() const
    {
        std::lock_guard lock(run_.progress->mutex);
        return run_.progress->fileIndex;
    }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void poll();
    void showEnd();
    void askToStop();

    MainWindow& window_;
    RunControl run_;
    int total_;
    int shown_ = 0;
    int characterWidth_ = 7;
    bool stopped_ = false;
    bool finished_ = false;
    QLabel* fileLabel_;
    QLabel* timeLabel_;
    QProgressBar* bar_;
    QPushButton* ok_;
    QTimer* timer_;
};

}  // namespace quill

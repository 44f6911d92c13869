#include "ui/progress_window.h"

#include "ui/main_window.h"
#include "ui/progress_text.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace quill {

ProgressWindow::ProgressWindow(MainWindow& window, RunControl run, int total)
    : QDialog(&window), window_(window), run_(std::move(run)), total_(total)
{
    WindowRecords& records = window_.records();
    setObjectName("conversionProgress");
    setWindowTitle(records.text("Dialog", "Convert Progress"));
    setFixedSize(300, 130);
    setModal(true);
    fileLabel_ = new QLabel(this);
    fileLabel_->setGeometry(10, 13, 280, 20);
    // Read out, and announced on each change, as its text: the file in
    // hand, then the summary.
    fileLabel_->setAccessibleDescription("File");
    timeLabel_ = new QLabel(QString::fromStdString(formatText(lookupText(records.language, "Dialog", "Time Remaining"),
                                                              lookupText(records.language, "Dialog", "Time Unknown"))),
                            this);
    timeLabel_->setGeometry(10, 33, 280, 20);
    bar_ = new QProgressBar(this);
    bar_->setGeometry(10, 60, 280, 20);
    bar_->setRange(0, total_ + 1);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    bar_->setAccessibleName(windowTitle());
    ok_ = new QPushButton(records.text("Dialog", "OK"), this);
    ok_->setGeometry(110, 95, 80, 25);
    ok_->setEnabled(false);
    connect(ok_, &QPushButton::clicked, this, [this] {
        if (finished_)
            accept();
    });
    // An estimate over four files or fewer says nothing; the bar moves up.
    if (total_ <= 4) {
        timeLabel_->hide();
        bar_->move(10, 50);
    }
    const int width = QFontMetrics(font()).horizontalAdvance(QStringLiteral("abc123:\\-")) / 9;
    if (width > 0)
        characterWidth_ = width;
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] {
        poll();
    });
    timer_->start(15);
    move(window_.geometry().center() - QPoint(150, 65));
}

void ProgressWindow::poll()
{
    if (finished_)
        return;
    if (run_.ended()) {
        showEnd();
        return;
    }
    int index = 0;
    std::string file;
    int64_t lastDuration = 0;
    {
        std::lock_guard lock(run_.progress->mutex);
        index = run_.progress->fileIndex;
        file = run_.progress->currentFile;
        lastDuration = run_.progress->lastDuration;
    }
    if (index <= shown_)
        return;
    shown_ = index;
    WindowRecords& records = window_.records();
    const std::string count = lookupText(records.language, "Msg", "Progress");
    setWindowTitle(records.text("Dialog", "Convert Progress") + " " +
                   QString::fromStdString(formatText(count, std::to_string(index), std::to_string(total_))));
    if (static_cast<int64_t>(QString::fromStdString(file).size()) * characterWidth_ > 280) {
        const std::string whole = file;
        int characters = labelCharacters(characterWidth_);
        file = shortenPath(whole, characters);
        // Paths run wider than the average character on Linux fonts: shorten
        // further until the start and the end show whole.
        const QFontMetrics metrics(fileLabel_->font());
        while (characters > 5 && metrics.horizontalAdvance(QString::fromStdString(file)) > 280)
            file = shortenPath(whole, --characters);
    }
    fileLabel_->setText(QString::fromStdString(file));
    if (timeLabel_->isVisibleTo(this) && lastDuration != 0)
        timeLabel_->setText(QString::fromStdString(formatText(lookupText(records.language, "Dialog", "Time Remaining"),
                                                              timeText(lastDuration * (total_ - index + 1)))));
    bar_->setValue(index);
}

void ProgressWindow::showEnd()
{
    finished_ = true;
    timer_->stop();
    WindowRecords& records = window_.records();
    int index = 0;
    {
        std::lock_guard lock(run_.progress->mutex);
        index = run_.progress->fileIndex;
    }
    const std::string count =
        formatText(lookupText(records.language, "Msg", "Progress"), std::to_string(index), std::to_string(total_));
    if (stopped_) {
        const QString text = records.text("Msg", "Conversion is not complete");
        window_.setStatusText(text);
        fileLabel_->setText(text);
        setWindowTitle(text + " " + QString::fromStdString(count));
    } else {
        const QString text = records.text("Msg", "Conversion complete");
        window_.setStatusText(text);
        setWindowTitle(text + " " + QString::fromStdString(count));
        fileLabel_->setText(
            QString::fromStdString(formatText(lookupText(records.language, "Msg", "Files converted"),
                                              std::to_string(run_.converted()), std::to_string(total_))));
        timeLabel_->setText(
            QString::fromStdString(formatText(lookupText(records.language, "Dialog", "Time Remaining"), "00:00:00")));
        // Outputs kept as they were take the time line's place: it is spent.
        if (const int skipped = run_.skipped ? run_.skipped() : 0; skipped > 0) {
            timeLabel_->setText(QString::fromStdString(
                formatText(lookupText(records.language, "Msg", "Files skipped"), std::to_string(skipped))));
            timeLabel_->show();
            bar_->move(10, 60);
        }
        bar_->setValue(total_ + 1);
    }
    ok_->setEnabled(true);
    ok_->setDefault(true);
    ok_->setFocus();
}

void ProgressWindow::askToStop()
{
    WindowRecords& records = window_.records();
    // No new file starts while the question is open, and the poll waits for
    // the answer, so a run that ends meanwhile still reports as stopped.
    run_.progress->paused = true;
    timer_->stop();
    QMessageBox question(QMessageBox::Warning, records.text("Msg", "Warning"),
                         records.text("Msg", "Ask break conversion"), QMessageBox::Yes | QMessageBox::No, this);
    question.setObjectName("stopQuestion");
    stopped_ = question.exec() == QMessageBox::Yes;
    run_.progress->paused = false;
    if (stopped_)
        run_.stop();
    timer_->start(15);
}

void ProgressWindow::closeEvent(QCloseEvent* event)
{
    if (finished_) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    askToStop();
}

void ProgressWindow::reject()
{
    if (finished_) {
        QDialog::reject();
        return;
    }
    askToStop();
}

}  // namespace quill

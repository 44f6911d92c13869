#include "ui/transfer_window.h"

#include "ui/main_window.h"
#include "ui/main_window_busy.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

namespace quill {
namespace {

struct TransferTexts {
    const char* object;    // the window's object name
    const char* title;     // group Dialog
    const char* question;  // group Msg, the rest too
    const char* complete;
    const char* stopped;
};

TransferTexts textsOf(TransferKind kind)
{
    switch (kind) {
    case TransferKind::FolderImport:
        return {"folderImportProgress", "Import Progress", "Ask break import", "Import complete",
                "Import is not complete"};
    case TransferKind::ListImport:
        return {"listImportProgress", "Import Progress", "Ask break import", "Import complete",
                "Import is not complete"};
    case TransferKind::ListExport:
        return {"exportProgress", "Export Progress", "Ask break export", "Export complete", "Export is not complete"};
    }
    return textsOf(TransferKind::FolderImport);
}

}  // namespace

TransferWindow::TransferWindow(MainWindow& window, Transfer transfer)
    : QDialog(&window), window_(window), transfer_(std::move(transfer))
{
    const TransferTexts texts = textsOf(transfer_.kind);
    setObjectName(texts.object);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(window_.records().text("Dialog", texts.title));
    setFixedSize(300, 40);
    // A title and a close box only: nothing to minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowModality(Qt::WindowModal);
    bar_ = new QProgressBar(this);
    bar_->setGeometry(10, 10, 280, 20);
    // A range of 0 to 0 would make Qt's bar a busy indicator; an empty folder
    // shows an empty bar that fills at the end instead.
    bar_->setRange(0, std::max(1, transfer_.barMaximum));
    bar_->setValue(0);
    bar_->setTextVisible(false);
    bar_->setAccessibleName(windowTitle());
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] {
        poll();
    });
    move(window_.geometry().center() - QPoint(150, 20));
}

TransferWindow::~TransferWindow()
{
    // The main window is going away with a worker still running: it stops
    // before its next item and is waited for.
    progress_.running = false;
    progress_.paused = false;
    if (worker_.joinable())
        worker_.join();
}

void TransferWindow::start()
{
    progress_.reset();
    progress_.converted = transfer_.convertedBefore;
    busy_ = std::make_unique<MainWindowBusy>(window_);
    show();
    activateWindow();
    setFocus();
    worker_ = std::thread([this] {
        workerOk_ = transfer_.work(progress_);
        workerDone_ = true;
    });
    timer_->start(15);
}

void TransferWindow::poll()
{
    if (holding_)
        return;
    if (transfer_.collect)
        transfer_.collect();
    int index = 0;
    {
        std::lock_guard lock(progress_.mutex);
        index = progress_.fileIndex;
    }
    if (index > shown_) {
        shown_ = index;
        bar_->setValue(std::min(index, bar_->maximum()));
    }
    // An end that comes while the question is open waits for the answer, so
    // a Yes still reports the transfer as stopped.
    if (asking_ || !workerDone_)
        return;
    worker_.join();
    if (transfer_.collect)
        transfer_.collect();
    showEnd();
}

void TransferWindow::showEnd()
{
    holding_ = true;
    timer_->stop();
    {
        std::lock_guard lock(progress_.mutex);
        converted_ = progress_.converted;
    }
    WindowRecords& records = window_.records();
    const TransferTexts texts = textsOf(transfer_.kind);
    if (stopped_ || !workerOk_) {
        window_.setStatus("Msg", texts.stopped);
    } else {
        window_.setStatusText(QString::fromStdString(
            formatText(lookupText(records.language, "Msg", texts.complete), std::to_string(converted_))));
        bar_->setValue(bar_->maximum());
    }
    // Events meanwhile find the window holding and are ignored.
    QTimer::singleShot(700, this, [this] {
        finish();
    });
}

void TransferWindow::finish()
{
    busy_.reset();
    MainWindow& window = window_;
    const bool failed = !workerOk_;
    const QString failure = transfer_.failure;
    done(QDialog::Accepted);
    window.activateWindow();
    window.listView()->setFocus();
    if (failed) {
        auto* box = new QMessageBox(QMessageBox::Critical, window.records().text("Msg", "Error"), failure,
                                    QMessageBox::Ok, &window);
        box->setObjectName("transferFailed");
        box->setAttribute(Qt::WA_DeleteOnClose);
        keepMainWindowBusyWhileShown(window, box);
        box->open();
    }
}

void TransferWindow::askToStop()
{
    if (holding_ || asking_ || !worker_.joinable())
        return;
    asking_ = true;
    // No next item starts while the user decides; the poll goes on showing
    // what the item in hand still finds.
    progress_.paused = true;
    WindowRecords& records = window_.records();
    auto* question = new QMessageBox(QMessageBox::Warning, records.text("Msg", "Warning"),
                                     records.text("Msg", textsOf(transfer_.kind).question),
                                     QMessageBox::Yes | QMessageBox::No, this);
    question->setObjectName("stopQuestion");
    question->setAttribute(Qt::WA_DeleteOnClose);
    connect(question, &QMessageBox::finished, this, [this, question] {
        stopped_ = question->standardButton(question->clickedButton()) == QMessageBox::Yes;
        if (stopped_) {
            std::lock_guard lock(progress_.mutex);
            progress_.running = false;
        }
        progress_.paused = false;
        asking_ = false;
    });
    question->open();
}

void TransferWindow::closeEvent(QCloseEvent* event)
{
    // The window closes by itself after the hold; the close box only asks.
    event->ignore();
    askToStop();
}

void TransferWindow::reject()
{
    askToStop();
}

}  // namespace quill

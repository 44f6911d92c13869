#include "ui/batch_start.h"

#include "engine/batch/batch_run.h"
#include "ui/input_list_model.h"
#include "ui/main_window.h"
#include "ui/main_window_busy.h"
#include "ui/progress_window.h"

#include <QComboBox>
#include <QMessageBox>
#include <QTreeView>

#include <atomic>
#include <map>
#include <memory>
#include <utility>

namespace quill {
namespace {

// The first checks also say in the status bar that nothing was converted;
// the font and watermark image checks show only their warning.
bool stopsInStatusBar(RunCheck check)
{
    switch (check) {
    case RunCheck::EmptyInputList:
    case RunCheck::EmptyOutputFolder:
    case RunCheck::InvalidOutputFolder:
    case RunCheck::InvalidWidth:
    case RunCheck::InvalidHeight: return true;
    default: return false;
    }
}

/// The language group and key of the warning a failed check shows.
std::pair<const char*, const char*> warningKey(RunCheck check)
{
    switch (check) {
    case RunCheck::EmptyInputList: return {"Msg", "Empty input files"};
    case RunCheck::EmptyOutputFolder: return {"Msg", "Empty output folder"};
    case RunCheck::InvalidOutputFolder: return {"Msg", "Invalid output folder"};
    case RunCheck::InvalidWidth: return {"Msg", "Invalid width"};
    case RunCheck::InvalidHeight: return {"Msg", "Invalid height"};
    case RunCheck::InvalidWatermarkFont: return {"Msg", "Invalid watermark font"};
    case RunCheck::EmptyWatermarkImage: return {"Msg", "Empty watermark image"};
    case RunCheck::InvalidWatermarkImage: return {"Msg", "Invalid watermark image"};
    default: return {"Msg", "Conversion is not complete"};  // checks a queue run never makes
    }
}

Queue queueOf(const InputList& inputs)
{
    Queue queue;
    queue.reserve(inputs.size());
    for (const InputEntry& entry : inputs.entries)
        queue.push_back({entry.path, entry.relativeSubfolder});
    return queue;
}

}  // namespace

void startBatch(MainWindow& window, const BatchStartOptions& options)
{
    WindowRecords& records = window.records();
    ConversionJob& job = records.job;
    job.outputFolder = window.outputFolderBox()->currentText().trimmed().toStdString();
    const int formatIndex = window.outputFormatBox()->currentData().toInt();
    if (formatIndex >= 0 && static_cast<size_t>(formatIndex) < records.formats.outputFormatList.size())
        job.outputExtension = records.formats.outputFormatList[static_cast<size_t>(formatIndex)];
    window.setStatus("General", "Preparing");

    Queue queue = queueOf(records.inputs);
    Preparation preparation = prepareRun(records.settings, job, records.formats, &queue);
    if (!preparation.run) {
        const CheckFailure failure = preparation.failure.value_or(CheckFailure{RunCheck::EmptyInputList, {}});
        if (stopsInStatusBar(failure.check))
            window.setStatus("Msg", "Conversion is not complete");
        const auto [group, key] = warningKey(failure.check);
        MainWindowBusy busy(window);
        QMessageBox::warning(
            &window, records.text("Msg", "Warning"),
            QString::fromStdString(formatText(lookupText(records.language, group, key), failure.argument)));
        return;
    }
    const PreparedRun& prepared = *preparation.run;
    takeOutputFields(job, prepared);
    window.rememberOutputFolderAndRefill(prepared.outputFolder);
    window.setStatus("General", "Converting");

    // The run works on copies; its only link to the window is the progress
    // record, read by the progress window on the GUI thread.
    const int total = static_cast<int>(queue.size());
    auto ended = std::make_shared<std::atomic<bool>>(false);
    // Filled on the run's thread, read once the run has been joined.
    auto failures = std::make_shared<std::map<std::string, std::string>>();
    RunObserver observer;
    observer.fileDone = [failures](const FileResult& result) {
        // A file kept as it was (existing outputs skipped) did not fail.
        if (!result.converted && !result.skipped)
            (*failures)[result.inputPath] = result.reason;
    };
    observer.finished = [ended](const RunTotals&) {
        ended->store(true);
    };
    RunOptions runOptions;
    runOptions.executable = options.executable;
    BatchRun run(records.settings, job, prepared, records.formats, std::move(queue), std::move(observer), runOptions);
    RunControl control;
    control.progress = &run.progress();
    if (!run.start()) {
        window.setStatus("Msg", "Conversion is not complete");
        return;
    }
    control.ended = [ended] {
        return ended->load();
    };
    control.stop = [&run] {
        run.stop();
    };
    control.converted = [&run] {
        run.join();
        return run.totals().converted;
    };
    control.skipped = [&run] {
        run.join();
        return run.totals().skipped;
    };
    {
        MainWindowBusy busy(window);
        ProgressWindow progress(window, control, total);
        progress.exec();
    }
    run.join();
    window.showFailedFiles(std::move(*failures));
    // Numbering goes on from where this run left it, as in one long session.
    if (run.totals().nextCounter != 0) {
        records.job.counter = run.totals().nextCounter;
        records.job.randomNumber = run.totals().nextRandomNumber;
    }
    window.activateWindow();
    window.listView()->setFocus();
}

}  // namespace quill

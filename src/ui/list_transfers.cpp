#include "ui/list_transfers.h"

#include "inputs/folder_import.h"
#include "inputs/list_file.h"
#include "platform/paths.h"
#include "ui/input_list_model.h"
#include "ui/main_window.h"
#include "ui/main_window_busy.h"
#include "ui/name_filters.h"
#include "ui/transfer_window.h"

#include <QFileDialog>
#include <QMessageBox>

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

namespace quill {
namespace {

// A worker fills a copy of the list; what it adds waits here until the poll
// appends it to the window's list on the GUI thread.
struct ImportState {
    InputList list;
    ConversionJob job;
    FormatTables formats;
    std::mutex mutex;
    std::vector<InputEntry> found;
};

std::shared_ptr<ImportState> importStateFor(WindowRecords& records)
{
    auto state = std::make_shared<ImportState>();
    state->list = records.inputs;
    state->job = records.job;
    state->formats = records.formats;
    state->list.onAdded = [raw = state.get()](const InputEntry& entry) {
        std::lock_guard lock(raw->mutex);
        raw->found.push_back(entry);
    };
    return state;
}

std::function<void()> collectInto(MainWindow& window, const std::shared_ptr<ImportState>& state)
{
    return [&window, state] {
        std::vector<InputEntry> found;
        {
            std::lock_guard lock(state->mutex);
            found.swap(state->found);
        }
        if (!found.empty())
            window.listModel()->appendEntries(found);
    };
}

QStringList listFileFilters(WindowRecords& records)
{
    return nameFilters(lookupText(records.language, "Dialog", "Text Files") + "|*.txt;*.lst|" +
                       lookupText(records.language, "Dialog", "All Files") + " (*.*)|*.*");
}

// A file dialog over the main window, opened without a loop of its own;
// `chosen` gets the selected file once the dialog has closed.
void openListDialog(MainWindow& window, const char* titleKey, QFileDialog::AcceptMode mode,
                    std::function<void(const std::string&)> chosen)
{
    WindowRecords& records = window.records();
    auto* dialog = new QFileDialog(&window, records.text("Dialog", titleKey));
    dialog->setObjectName(mode == QFileDialog::AcceptOpen ? "importListDialog" : "exportListDialog");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // The overwrite question is the program's own, asked only for a file
    // that holds something.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setNameFilters(listFileFilters(records));
    const std::string folder = folderPart(records.job.inputPath);
    if (!folder.empty())
        dialog->setDirectory(QString::fromStdString(folder));
    dialog->selectFile(QStringLiteral("list.txt"));
    keepMainWindowBusyWhileShown(window, dialog);
    QObject::connect(dialog, &QDialog::finished, &window, [dialog, chosen = std::move(chosen)](int result) {
        const QStringList files = dialog->selectedFiles();
        if (result == QDialog::Accepted && !files.isEmpty() && !files.front().isEmpty())
            chosen(files.front().toStdString());
    });
    dialog->open();
}

// A window-modal box over the main window; `answered` gets true for Yes.
void openBox(MainWindow& window, QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons,
             std::function<void(bool)> answered = {})
{
    auto* box = new QMessageBox(icon, window.records().text("Msg", "Warning"), text, buttons, &window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    keepMainWindowBusyWhileShown(window, box);
    if (answered)
        QObject::connect(box, &QMessageBox::finished, &window, [box, answered = std::move(answered)] {
            answered(box->standardButton(box->clickedButton()) == QMessageBox::Yes);
        });
    box->open();
}

// A pipe or another source that is not a regular file may well hold lines;
// only a regular file of 0 bytes is empty.
bool holdsSomething(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode) &&
           (!S_ISREG(status.st_mode) || status.st_size > 0);
}

bool isNonEmptyFile(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && status.st_size > 0;
}

void startListImport(MainWindow& window, const std::string& path)
{
    if (!holdsSomething(path))
        return;
    WindowRecords& records = window.records();
    records.job.inputPath = path;
    const auto state = importStateFor(records);
    Transfer transfer;
    transfer.kind = TransferKind::ListImport;
    transfer.barMaximum = static_cast<int>(std::min<int64_t>(countListFileLines(path), INT32_MAX - 1)) + 1;
    transfer.work = [state](ProgressRecord& progress) {
        runListReader(state->list, state->job, state->formats, progress);
        return true;
    };
    transfer.collect = collectInto(window, state);
    (new TransferWindow(window, std::move(transfer)))->start();
}

void startExport(MainWindow& window, const std::string& path)
{
    WindowRecords& records = window.records();
    records.job.inputPath = path;
    // The writer works on a copy of the rows as they stand now.
    std::vector<std::string> rows;
    rows.reserve(records.inputs.size());
    for (const InputEntry& entry : records.inputs.entries)
        rows.push_back(entry.path);
    Transfer transfer;
    transfer.kind = TransferKind::ListExport;
    transfer.barMaximum = static_cast<int>(rows.size());
    transfer.work = [rows = std::move(rows), path](ProgressRecord& progress) {
        return runListWriter(rows, path, progress);
    };
    transfer.failure =
        QString::fromStdString(formatText(lookupText(records.language, "Msg", "Unable to save file"), path));
    (new TransferWindow(window, std::move(transfer)))->start();
}

}  // namespace

std::string listFileName(const std::string& chosen)
{
    const std::string name = fileNamePart(chosen);
    // A leading dot names a hidden file, not an extension.
    return std::filesystem::path(name).extension().empty() ? chosen + ".txt" : chosen;
}

TransferWindow* importFolder(MainWindow& window, int32_t convertedBefore)
{
    WindowRecords& records = window.records();
    const auto state = importStateFor(records);
    Transfer transfer;
    transfer.kind = TransferKind::FolderImport;
    transfer.barMaximum = countFolderEntries(records.job.inputFolder);
    transfer.convertedBefore = convertedBefore;
    transfer.work = [state](ProgressRecord& progress) {
        runImportWorker(state->list, state->job, state->formats, progress);
        return true;
    };
    transfer.collect = collectInto(window, state);
    auto* progressWindow = new TransferWindow(window, std::move(transfer));
    progressWindow->start();
    return progressWindow;
}

void importListFile(MainWindow& window)
{
    openListDialog(window, "Import Input Files", QFileDialog::AcceptOpen, [&window](const std::string& path) {
        startListImport(window, path);
    });
}

void exportListFile(MainWindow& window)
{
    WindowRecords& records = window.records();
    if (records.inputs.size() == 0) {
        openBox(window, QMessageBox::Warning, records.text("Msg", "Empty input files"), QMessageBox::Ok);
        return;
    }
    openListDialog(window, "Export Input Files", QFileDialog::AcceptSave, [&window](const std::string& chosen) {
        const std::string path = listFileName(chosen);
        if (!isNonEmptyFile(path)) {
            startExport(window, path);
            return;
        }
        openBox(window, QMessageBox::Warning, window.records().text("Msg", "Ask overwrite file"),
                QMessageBox::Yes | QMessageBox::No, [&window, path](bool yes) {
                    if (yes)
                        startExport(window, path);
                });
    });
}

}  // namespace quill

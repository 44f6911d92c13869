// The main window: the input list, the output folder and format boxes and the
// Convert button under the menu bar and the main toolbar, over a one-field
// status bar. Every command is a QAction that serves menu, toolbar, pop-up
// and shortcut alike.
#pragma once

#include "inputs/input_list.h"
#include "ui/commands.h"
#include "ui/transfer_window.h"
#include "ui/window_records.h"

#include <QMainWindow>
#include <QPointer>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class QTreeView;
class QUrl;

namespace quill {

class InputListModel;
class MainWindow;

/// What other parts of the window plug in. A command whose hook is empty is
/// shown but disabled.
struct WindowHooks {
    std::function<void(MainWindow&)> preferences;      // the preferences dialog
    std::function<void(MainWindow&)> customConverter;  // "Find a File Converter"
    std::function<void(MainWindow&)> about;
    std::function<void(MainWindow&)> checkForUpdates;       // on demand
    std::function<void(MainWindow&)> automaticUpdateCheck;  // once, after the window is shown
    std::function<void(MainWindow&)> importList;            // list files; the window's own by default
    std::function<void(MainWindow&)> exportList;
    std::function<void(MainWindow&)> preview;  // shows or hides the preview window
    /// Starts a conversion of the list (validation, progress window).
    std::function<void(MainWindow&)> convert;
    /// Documents, web and "mailto:" addresses; the desktop's handler by default.
    std::function<void(const QUrl&)> openUrl;
};

class MainWindow : public QMainWindow {
public:
    MainWindow(WindowRecords& records, WindowHooks hooks);
    ~MainWindow() override;

    /// Window creation's second half: placement from the settings, New,
    /// shown (maximised when it was), one layout pass.
    void start();
    void runCommand(Command command);
    QAction* action(Command command) const;
    /// Hands a document, web or "mailto:" address to the open hook.
    void openAddress(const QUrl& url);

    WindowRecords& records() { return records_; }
    QTreeView* listView() const { return list_; }
    InputListModel* listModel() const { return model_; }
    QComboBox* outputFolderBox() const { return folderBox_; }
    QComboBox* outputFormatBox() const { return formatBox_; }
    QToolButton* convertButton() const { return convertButton_; }
    QToolBar* mainToolBar() const { return toolBar_; }
    QString statusText() const;
    void setStatusText(const QString& text);
    void setStatus(std::string_view group, std::string_view key);

    /// Paths offered one by one in order: a folder is imported behind its
    /// progress window, a file is added. The next path waits for a folder's
    /// import to end; the count of new files the status bar reports runs over
    /// all the folders of one call.
    void addPaths(const std::vector<std::string>& paths);
    bool importRunning() const { return folderImport_ != nullptr; }
    /// A secondary window is open: the window's commands are disabled.
    bool isBusy() const { return busyHolds_ > 0; }
    /// Offers `folder` to the history and refills the box when it changed.
    void rememberOutputFolderAndRefill(const std::string& folder);
    void refillOutputFolderBox();
    /// After the preferences were stored: the look follows the appearance
    /// change (then reset to 0), the format box selects `Output`/`Format`,
    /// and the folder box is refilled when its count differs from
    /// `Out Folders Number`.
    void applyPreferences();
    /// After a run: the failed files' rows are marked with their reasons and
    /// selected, and the status bar says how many failed (`reasons`: path,
    /// reason). None failed: marks from an earlier run are dropped.
    void showFailedFiles(std::map<std::string, std::string> reasons);
    /// Opens the input chooser (command 4).
    void openInputChooser();
    bool chooseInputFiles();
    void chooseInputFolder();
    void chooseOutputFolder();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    friend class MainWindowBusy;
    void holdBusy();
    void releaseBusy();
    /// Each command enabled unless the window is busy or its hook is missing.
    void refreshCommands();
    const std::function<void(MainWindow&)>* hookFor(Command command) const;
    void buildActions();
    void buildMenus();
    void buildToolBar();
    void buildControls();
    void layoutControls();
    void fillOutputFormatBox();
    void reapplyImages();
    void newList();
    void copySelection();
    void deleteSelection();
    void selectAll();
    void openManual();
    void runHook(const std::function<void(MainWindow&)>& hook);
    void continueAddingPaths();

    WindowRecords& records_;
    WindowHooks hooks_;
    std::map<Command, QAction*> actions_;
    QToolBar* toolBar_ = nullptr;
    QMenu* listMenu_ = nullptr;
    QWidget* container_ = nullptr;
    QTreeView* list_ = nullptr;
    InputListModel* model_ = nullptr;
    QLabel* folderLabel_ = nullptr;
    QComboBox* folderBox_ = nullptr;
    QToolButton* folderButton_ = nullptr;
    QLabel* formatLabel_ = nullptr;
    QComboBox* formatBox_ = nullptr;
    QToolButton* formatButton_ = nullptr;
    QToolButton* convertButton_ = nullptr;
    QLabel* status_ = nullptr;

    // Paths still to offer after a drop or a chooser, in order.
    std::deque<std::string> pendingPaths_;
    // The folder import window while one is open.
    QPointer<TransferWindow> folderImport_;
    // What the folder imports of one drop or chooser added so far.
    int32_t pathsConverted_ = 0;
    int listGeneration_ = 0;  // New drops paths still waiting to be added
    int busyHolds_ = 0;       // MainWindowBusy guards held
};

}  // namespace quill

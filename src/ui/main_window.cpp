#include "ui/main_window.h"

#include "app/version.h"
#include "inputs/folder_import.h"
#include "platform/paths.h"
#include "ui/images.h"
#include "ui/input_chooser.h"
#include "ui/input_list_model.h"
#include "ui/list_transfers.h"
#include "ui/main_window_busy.h"
#include "ui/name_filters.h"
#include "ui/output_history.h"
#include "ui/transfer_window.h"
#include "ui/theme_packs.h"

#include <QAction>
#include <QActionEvent>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

namespace quill {

namespace {

struct CommandRow {
    Command command;
    const char* image;       // image name; empty: none
    const char* captionKey;  // language key of group Menu
    QKeySequence shortcut;
};

const std::vector<CommandRow>& commandTable()
{
    static const std::vector<CommandRow> rows{
        {Command::New, "New", "New", QKeySequence(Qt::CTRL | Qt::Key_N)},
        {Command::AddInputFiles, "Add", "Select Input Files", {}},
        {Command::SelectOutputFolder, "OutFolder", "Select Output Folder", {}},
        {Command::ImportList, "ImportFiles", "Import Input Files", {}},
        {Command::ExportList, "ExportFiles", "Export Input Files", {}},
        {Command::Exit, "Exit", "Exit", QKeySequence(Qt::ALT | Qt::Key_X)},
        {Command::Copy, "Copy", "Copy", QKeySequence(Qt::CTRL | Qt::Key_C)},
        {Command::Delete, "Delete", "Delete", QKeySequence(Qt::CTRL | Qt::Key_Delete)},
        {Command::SelectAll, "SelectAll", "Select All", QKeySequence(Qt::CTRL | Qt::Key_A)},
        {Command::Convert, "Convert", "Convert", QKeySequence(Qt::Key_F5)},
        {Command::CustomConverter, "CustomConverter", "Custom Converter", {}},
        {Command::Preferences, "Preferences", "Preferences", {}},
        {Command::Preview, "Preview", "Preview", QKeySequence(Qt::Key_F6)},
        {Command::Help, "Help", "Manual", QKeySequence(Qt::Key_F1)},
        {Command::SendFeedback, "Email", "Send Feedback", {}},
        {Command::VisitHomepage, "Web", "Visit Homepage", {}},
        {Command::CheckForUpdates, "Updates", "Check For New Version", {}},
        {Command::About, "About", "About", {}},
        {Command::OutputFormatOptions, "OutFormat", "Output Format Options", {}},
    };
    return rows;
}

// Commands that open a window of their own.
bool opensWindow(Command command)
{
    switch (command) {
    case Command::AddInputFiles:
    case Command::ChooseInputFiles:
    case Command::ChooseInputFolder:
    case Command::SelectOutputFolder:
    case Command::ImportList:
    case Command::ExportList:
    case Command::Convert:
    case Command::CustomConverter:
    case Command::Preferences:
    case Command::OutputFormatOptions:
    case Command::CheckForUpdates:
    case Command::About: return true;
    default: return false;
    }
}

bool isListCommand(Command command)
{
    return command == Command::Copy || command == Command::Delete || command == Command::SelectAll;
}

QString withoutColon(QString text)
{
    if (text.endsWith(':'))
        text.chop(1);
    return text;
}

// A container that lays its controls out by the window's resize rules.
class Container : public QWidget {
public:
    explicit Container(std::function<void()> onResize) : onResize_(std::move(onResize)) {}

protected:
    void resizeEvent(QResizeEvent*) override { onResize_(); }

private:
    std::function<void()> onResize_;
};

// The large Convert button: the image of the button set, kept when its
// action changes (a plain tool button takes the action's icon again).
class ImageButton : public QToolButton {
public:
    using QToolButton::QToolButton;
    void setOwnIcon(const QIcon& icon)
    {
        own_ = icon;
        setIcon(icon);
    }

protected:
    void actionEvent(QActionEvent* event) override
    {
        QToolButton::actionEvent(event);
        if (!own_.isNull())
            setIcon(own_);
    }

private:
    QIcon own_;
};

// Watches one kind of event of one object.
class EventHook : public QObject {
public:
    EventHook(QObject* watched, QEvent::Type type, std::function<void()> action)
        : QObject(watched), type_(type), action_(std::move(action))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == type_)
            action_();
        return false;
    }

private:
    QEvent::Type type_;
    std::function<void()> action_;
};

}  // namespace

MainWindow::MainWindow(WindowRecords& records, WindowHooks hooks) : records_(records), hooks_(std::move(hooks))
{
    if (!hooks_.openUrl)
        hooks_.openUrl = [](const QUrl& url) {
            QDesktopServices::openUrl(url);
        };
    if (!hooks_.importList)
        hooks_.importList = importListFile;
    if (!hooks_.exportList)
        hooks_.exportList = exportListFile;
    setWindowTitle(QString::fromStdString(titleString()));
    setWindowIcon(builtInIcon("Convert"));
    setMinimumSize(510, 330);
    setAcceptDrops(true);
    loadTheme(records_.images, records_.settings, kAllSets);
    buildActions();
    buildMenus();
    buildToolBar();
    status_ = new QLabel;
    // No accessible name of its own: a screen reader then reads the text, and
    // Qt announces each new text as a name change. The description says
    // what the text is.
    status_->setAccessibleDescription("Status");
    statusBar()->addWidget(status_, 1);
    buildControls();
    fillOutputFormatBox();
}

MainWindow::~MainWindow()
{
    // Secondary windows go first, while the window they report to is whole;
    // a transfer window stops and waits for its worker.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isWindow())
            delete child;
}

void MainWindow::holdBusy()
{
    if (busyHolds_++ == 0)
        refreshCommands();
}

void MainWindow::releaseBusy()
{
    if (busyHolds_ > 0 && --busyHolds_ == 0)
        refreshCommands();
}

void MainWindow::refreshCommands()
{
    const bool enabled = !isBusy();
    // Disabled widgets and actions are disabled for every way in: mouse,
    // keyboard, shortcuts and the accessibility tree's actions.
    menuBar()->setEnabled(enabled);
    toolBar_->setEnabled(enabled);
    container_->setEnabled(enabled);
    for (auto& [command, action] : actions_) {
        const auto* hook = hookFor(command);
        action->setEnabled(enabled && (hook == nullptr || *hook));
    }
}

const std::function<void(MainWindow&)>* MainWindow::hookFor(Command command) const
{
    switch (command) {
    case Command::Preferences:
    case Command::OutputFormatOptions: return &hooks_.preferences;
    case Command::CustomConverter: return &hooks_.customConverter;
    case Command::About: return &hooks_.about;
    case Command::CheckForUpdates: return &hooks_.checkForUpdates;
    case Command::ImportList: return &hooks_.importList;
    case Command::ExportList: return &hooks_.exportList;
    case Command::Convert: return &hooks_.convert;
    case Command::Preview: return &hooks_.preview;
    default: return nullptr;
    }
}

void MainWindow::buildActions()
{
    for (const CommandRow& row : commandTable()) {
        const QString caption = records_.text("Menu", row.captionKey);
        auto* action = new QAction(commandIcon(records_.images, row.image), caption, this);
        action->setToolTip(caption);
        action->setShortcut(row.shortcut);
        action->setIconVisibleInMenu(true);
        // The list's editing keys belong to the list: Ctrl+A in the output
        // folder box selects its text, not the list's rows.
        if (isListCommand(row.command))
            action->setShortcutContext(Qt::WidgetShortcut);
        const Command command = row.command;
        // A window opens once the trigger has returned: a press through an
        // assistive tool then returns at once instead of waiting inside the
        // window's own event loop. Mouse and keyboard see no difference.
        connect(action, &QAction::triggered, this, [this, command] {
            if (opensWindow(command))
                QTimer::singleShot(0, this, [this, command] {
                    runCommand(command);
                });
            else
                runCommand(command);
        });
        actions_[command] = action;
    }
    addAction(actions_[Command::New]);
    addAction(actions_[Command::Exit]);
    addAction(actions_[Command::Convert]);
    addAction(actions_[Command::Help]);
    addAction(actions_[Command::Preview]);
    for (auto& [command, action] : actions_)
        if (const auto* hook = hookFor(command); hook != nullptr && !*hook)
            action->setEnabled(false);
}

QAction* MainWindow::action(Command command) const
{
    auto found = actions_.find(command);
    return found == actions_.end() ? nullptr : found->second;
}

void MainWindow::buildMenus()
{
    auto addMenu = [this](const char* key, std::initializer_list<int> items) {
        QMenu* menu = menuBar()->addMenu("&" + records_.text("Menu", key));
        for (int item : items) {
            if (item < 0)
                menu->addSeparator();
            else
                menu->addAction(actions_[static_cast<Command>(item)]);
        }
        return menu;
    };
    using enum Command;
    addMenu("File", {int(New), -1, int(AddInputFiles), int(SelectOutputFolder), -1, int(ImportList), int(ExportList),
                     -1, int(Exit)});
    addMenu("Edit", {int(Copy), int(Delete), -1, int(SelectAll)});
    addMenu("Converter", {int(Convert), -1, int(CustomConverter), -1, int(Preferences), -1, int(Preview)});
    addMenu("Help", {int(Help), -1, int(SendFeedback), int(VisitHomepage), int(CheckForUpdates), -1, int(About)});
    listMenu_ = new QMenu(this);
    listMenu_->addAction(actions_[Copy]);
    listMenu_->addAction(actions_[Delete]);
    listMenu_->addSeparator();
    listMenu_->addAction(actions_[SelectAll]);
}

void MainWindow::buildToolBar()
{
    toolBar_ = addToolBar(QStringLiteral("Main"));
    toolBar_->setObjectName("mainToolBar");
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->toggleViewAction()->setEnabled(false);
    const int size = iconSizeFor(records_.settings.uiSize);
    toolBar_->setIconSize(QSize(size, size));
    using enum Command;
    for (int item : {int(New), int(AddInputFiles), int(SelectOutputFolder), -1, int(Preferences), -1, int(Convert), -1,
                     int(Help), int(SendFeedback), int(VisitHomepage), int(CheckForUpdates)}) {
        if (item < 0)
            toolBar_->addSeparator();
        else
            toolBar_->addAction(actions_[static_cast<Command>(item)]);
    }
    for (QAction* action : toolBar_->actions())
        if (QWidget* button = toolBar_->widgetForAction(action))
            button->setAccessibleName(action->toolTip());
}

void MainWindow::buildControls()
{
    container_ = new Container([this] {
        layoutControls();
    });
    setCentralWidget(container_);

    list_ = new QTreeView(container_);
    model_ = new InputListModel(records_.inputs, records_.text("General", "Filename"), list_);
    list_->setModel(model_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setItemsExpandable(false);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->header()->setStretchLastSection(false);
    list_->setAccessibleName(withoutColon(records_.text("General", "Input Files")));
    for (Command command : {Command::Copy, Command::Delete, Command::SelectAll})
        list_->addAction(actions_[command]);
    // A double click anywhere in the list, on a row or below the last one.
    new EventHook(list_->viewport(), QEvent::MouseButtonDblClick, [this] {
        QTimer::singleShot(0, this, [this] {
            runCommand(Command::AddInputFiles);
        });
    });
    connect(list_, &QTreeView::customContextMenuRequested, this, [this](const QPoint& point) {
        if (list_->selectionModel()->hasSelection())
            listMenu_->popup(list_->viewport()->mapToGlobal(point));
    });

    folderLabel_ = new QLabel(records_.text("General", "Output Folder"), container_);
    folderBox_ = new QComboBox(container_);
    folderBox_->setEditable(true);
    folderBox_->setInsertPolicy(QComboBox::NoInsert);
    folderBox_->setAccessibleName(withoutColon(folderLabel_->text()));
    folderLabel_->setBuddy(folderBox_);
    connect(folderBox_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        records_.job.outputFolder = text.toStdString();
    });
    folderButton_ = new QToolButton(container_);
    folderButton_->setAutoRaise(true);
    folderButton_->setDefaultAction(actions_[Command::SelectOutputFolder]);
    folderButton_->setIconSize(QSize(16, 16));
    folderButton_->setAccessibleName(actions_[Command::SelectOutputFolder]->toolTip());

    formatLabel_ = new QLabel(records_.text("General", "Output Format"), container_);
    formatBox_ = new QComboBox(container_);
    formatBox_->setAccessibleName(withoutColon(formatLabel_->text()));
    formatLabel_->setBuddy(formatBox_);
    formatButton_ = new QToolButton(container_);
    formatButton_->setAutoRaise(true);
    formatButton_->setDefaultAction(actions_[Command::OutputFormatOptions]);
    formatButton_->setIconSize(QSize(16, 16));
    formatButton_->setAccessibleName(actions_[Command::OutputFormatOptions]->toolTip());

    auto* convertButton = new ImageButton(container_);
    convertButton_ = convertButton;
    convertButton_->setDefaultAction(actions_[Command::Convert]);
    convertButton->setOwnIcon(buttonIcon(records_.images, "Convert"));
    convertButton_->setIconSize(QSize(64, 64));
    convertButton_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    convertButton_->setFocusPolicy(Qt::StrongFocus);
    convertButton_->setAccessibleName(actions_[Command::Convert]->toolTip());

    for (QToolButton* button : {folderButton_, formatButton_})
        button->setFocusPolicy(Qt::StrongFocus);
    setTabOrder(list_, folderBox_);
    setTabOrder(folderBox_, folderButton_);
    setTabOrder(folderButton_, formatBox_);
    setTabOrder(formatBox_, formatButton_);
    setTabOrder(formatButton_, convertButton_);

    // Initial places; the first layout pass moves them by the resize rules.
    list_->setGeometry(10, 10, 380, 100);
    folderLabel_->setGeometry(10, 115, 380, 20);
    folderBox_->setGeometry(10, 130, 380, 21);
    folderButton_->setGeometry(396, 129, 24, 24);
    formatLabel_->setGeometry(10, 155, 380, 20);
    formatBox_->setGeometry(10, 170, 380, 21);
    formatButton_->setGeometry(396, 169, 24, 24);
    convertButton_->setGeometry(400, 10, 100, 100);
}

void MainWindow::layoutControls()
{
    // W and A: the width and the height between the toolbar and the status bar.
    const int w = container_->width();
    const int a = container_->height();
    // Linux fonts need more than 21 pixels for a combo box; it keeps its gap
    // to the next label.
    const int boxHeight = std::clamp(folderBox_->sizeHint().height(), 21, 25);
    // A larger system font needs taller labels than 16 pixels: each label
    // grows upwards, and the rows above it and the list make room.
    const int taller = std::max(0, folderLabel_->sizeHint().height() - 16);
    list_->setGeometry(10, 10, w - 130, a - 109 - 2 * taller);
    list_->setColumnWidth(0, w - 160);
    folderLabel_->setGeometry(10, a - 94 - 2 * taller, w - 130, 16 + taller);
    folderBox_->setGeometry(10, a - 79 - taller, w - 130, boxHeight);
    folderButton_->setGeometry(w - 114, a - 80 - taller, 24, 24);
    formatLabel_->setGeometry(10, a - 54 - taller, w - 130, 16 + taller);
    formatBox_->setGeometry(10, a - 39, w - 130, boxHeight);
    formatButton_->setGeometry(w - 114, a - 40, 24, 24);
    convertButton_->setGeometry(w - 110, 10, 100, 100);
}

void MainWindow::fillOutputFormatBox()
{
    const auto& list = records_.formats.outputFormatList;
    const QIcon icon = menuIcon(records_.images, "New");
    int selected = -1;
    for (size_t i = 0; i < list.size() && i < 128; ++i) {
        if (list[i].empty())
            continue;
        const OutputFormatRow* format = findOutputFormat(records_.formats, list[i]);
        std::string label = format != nullptr ? displayLabel(*format) : list[i];
        formatBox_->addItem(icon, QString::fromStdString(label), static_cast<int>(i));
        if (list[i] == records_.settings.outputFormat)
            selected = formatBox_->count() - 1;
    }
    formatBox_->setCurrentIndex(selected >= 0 ? selected : 0);
    connect(formatBox_, &QComboBox::currentIndexChanged, this, [this](int item) {
        const int index = formatBox_->itemData(item).toInt();
        if (item >= 0 && index >= 0 && static_cast<size_t>(index) < records_.formats.outputFormatList.size())
            records_.settings.outputFormat = records_.formats.outputFormatList[static_cast<size_t>(index)];
    });
}

void MainWindow::applyPreferences()
{
    int32_t& change = records_.windowState.appearanceChange;
    if (change == 1 || change == 2) {
        const int pixels = iconSizeFor(records_.settings.uiSize);
        toolBar_->setIconSize(QSize(pixels, pixels));
        // A new theme replaces every image; a new size only the toolbar's.
        loadTheme(records_.images, records_.settings, change == 1 ? kAllSets : kToolbarSet);
        reapplyImages();
        change = 0;
        QTimer::singleShot(0, this, [this] {
            layoutControls();
        });
    }
    const auto& formats = records_.formats.outputFormatList;
    for (int item = 0; item < formatBox_->count(); ++item) {
        const int index = formatBox_->itemData(item).toInt();
        const bool same = index >= 0 && static_cast<size_t>(index) < formats.size() &&
                          formats[static_cast<size_t>(index)] == records_.settings.outputFormat;
        if (same)
            formatBox_->setCurrentIndex(item);
    }
    if (folderBox_->count() != records_.settings.outFoldersNumber)
        refillOutputFolderBox();
}

void MainWindow::reapplyImages()
{
    for (const CommandRow& row : commandTable())
        actions_[row.command]->setIcon(commandIcon(records_.images, row.image));
    static_cast<ImageButton*>(convertButton_)->setOwnIcon(buttonIcon(records_.images, "Convert"));
    for (int item = 0; item < folderBox_->count(); ++item)
        folderBox_->setItemIcon(item, menuIcon(records_.images, "FavFolder"));
    for (int item = 0; item < formatBox_->count(); ++item)
        formatBox_->setItemIcon(item, menuIcon(records_.images, "New"));
}

void MainWindow::start()
{
    const Settings& settings = records_.settings;
    resize(std::max(settings.windowWidth, 510), std::max(settings.windowHeight, 330));
    move(settings.windowX, settings.windowY);
    // A placement stored on a screen that is gone would open the window
    // where nobody can see it; it then opens centred on the primary screen.
    const QRect stored(settings.windowX, settings.windowY, width(), height());
    bool onScreen = false;
    for (const QScreen* screen : QGuiApplication::screens())
        onScreen = onScreen || screen->availableGeometry().intersected(stored).width() >= 100;
    if (!onScreen && QGuiApplication::primaryScreen() != nullptr)
        move(QGuiApplication::primaryScreen()->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    newList();
    if (settings.isMaximized)
        showMaximized();
    else
        show();
    layoutControls();
    list_->setFocus();
    if (hooks_.automaticUpdateCheck)
        hooks_.automaticUpdateCheck(*this);
}

QString MainWindow::statusText() const
{
    return status_->text();
}

void MainWindow::setStatusText(const QString& text)
{
    status_->setText(text);
}

void MainWindow::setStatus(std::string_view group, std::string_view key)
{
    setStatusText(records_.text(group, key));
}

void MainWindow::runCommand(Command command)
{
    // Behind a secondary window no command runs, however it was asked for.
    if (isBusy())
        return;
    switch (command) {
    case Command::New: newList(); break;
    case Command::Exit: close(); break;
    case Command::AddInputFiles: openInputChooser(); break;
    case Command::ChooseInputFiles: chooseInputFiles(); break;
    case Command::ChooseInputFolder: chooseInputFolder(); break;
    case Command::SelectOutputFolder: chooseOutputFolder(); break;
    case Command::OutputFormatOptions:
        // The preferences open on their Output page.
        records_.windowState.rememberedPage = 3;
        runHook(hooks_.preferences);
        break;
    case Command::Preferences: runHook(hooks_.preferences); break;
    case Command::ImportList: runHook(hooks_.importList); break;
    case Command::ExportList: runHook(hooks_.exportList); break;
    case Command::Copy: copySelection(); break;
    case Command::Delete: deleteSelection(); break;
    case Command::SelectAll: selectAll(); break;
    case Command::Convert:
        if (!importRunning())
            runHook(hooks_.convert);
        break;
    case Command::CustomConverter: runHook(hooks_.customConverter); break;
    case Command::About: runHook(hooks_.about); break;
    case Command::Preview: runHook(hooks_.preview); break;
    case Command::CheckForUpdates: runHook(hooks_.checkForUpdates); break;
    case Command::Help: openManual(); break;
    case Command::SendFeedback: {
        QUrl url(QString("mailto:%1").arg(QString::fromUtf8(kSupportAddress.data(), kSupportAddress.size())));
        QUrlQuery query;
        query.addQueryItem("subject", QString::fromStdString(titleString()) + " Feedback");
        url.setQuery(query);
        hooks_.openUrl(url);
        break;
    }
    case Command::VisitHomepage:
        hooks_.openUrl(QUrl(QString::fromUtf8(kMakerWebAddress.data(), kMakerWebAddress.size())));
        break;
    }
}

void MainWindow::openAddress(const QUrl& url)
{
    hooks_.openUrl(url);
}

void MainWindow::runHook(const std::function<void(MainWindow&)>& hook)
{
    if (hook)
        hook(*this);
}

void MainWindow::openManual()
{
    // Beside the program in the build tree, in the documents when installed.
    std::string manual = programFolder() + "quillmere.html";
    if (!isRegularFile(manual))
        manual = installedDocFolder() + "quillmere.html";
    hooks_.openUrl(QUrl::fromLocalFile(QString::fromStdString(manual)));
}

void MainWindow::newList()
{
    ++listGeneration_;
    pendingPaths_.clear();
    refillOutputFolderBox();
    model_->clearRows();
    resetConversionJob(records_.job);
    records_.inputs.clear();
    rebuildAcceptedExtensions(records_.formats);
    folderBox_->clearEditText();
    setStatus("General", "Ready");
    list_->setFocus();
}

void MainWindow::copySelection()
{
    if (!list_->hasFocus())
        return;
    QModelIndexList rows = list_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) {
        return a.row() < b.row();
    });
    QStringList paths;
    for (const QModelIndex& row : rows)
        paths << QString::fromStdString(model_->pathAt(row.row()));
    if (!paths.isEmpty())
        QApplication::clipboard()->setText(paths.join('\n'));
}

void MainWindow::deleteSelection()
{
    if (!list_->hasFocus() || model_->rowCount() == 0)
        return;
    std::vector<int> rows;
    for (const QModelIndex& row : list_->selectionModel()->selectedRows())
        rows.push_back(row.row());
    if (rows.empty())
        return;
    std::sort(rows.begin(), rows.end());
    // Removing the first selected row again and again ends with the last one,
    // at its own index less the rows removed before it.
    const int lastRemovedAt = rows.back() - static_cast<int>(rows.size() - 1);
    model_->removeRowsAt(rows);
    const int count = model_->rowCount();
    if (count == 0)
        return;
    const int select = lastRemovedAt >= count ? count - 1 : lastRemovedAt;
    const QModelIndex target = model_->index(select, 0);
    list_->selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void MainWindow::selectAll()
{
    if (!list_->hasFocus() || model_->rowCount() == 0)
        return;
    list_->clearSelection();
    list_->selectAll();
}

void MainWindow::refillOutputFolderBox()
{
    const HistoryItems items = historyItems(records_.settings, records_.job.outputFolder);
    if (items.folders.empty())
        return;
    folderBox_->clear();
    const QIcon icon = menuIcon(records_.images, "FavFolder");
    for (const std::string& folder : items.folders)
        folderBox_->addItem(icon, QString::fromStdString(folder));
    folderBox_->setCurrentIndex(items.selected);
}

void MainWindow::rememberOutputFolderAndRefill(const std::string& folder)
{
    if (rememberOutputFolder(records_.settings, folder))
        refillOutputFolderBox();
}

void MainWindow::chooseOutputFolder()
{
    std::string initial = records_.job.outputFolder;
    const std::string typed = folderBox_->currentText().toStdString();
    if (!typed.empty())
        initial = folderPart(typed);
    QFileDialog dialog(this, records_.text("Dialog", "Select Output Folder"), QString::fromStdString(initial));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    keepMainWindowBusyWhileShown(*this, &dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const std::string folder = dialog.selectedFiles().front().toStdString();
    if (!isDirectory(folder))
        return;
    rememberOutputFolder(records_.settings, folder);
    records_.job.outputFolder = folder;
    refillOutputFolderBox();
}

void MainWindow::openInputChooser()
{
    showInputChooser(*this);
}

bool MainWindow::chooseInputFiles()
{
    QFileDialog dialog(this, records_.text("Dialog", "Select Input Files"),
                       QString::fromStdString(records_.job.inputPath));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(nameFilters(inputFileFilter(records_.formats, records_.language)));
    keepMainWindowBusyWhileShown(*this, &dialog);
    const bool chosen = dialog.exec() == QDialog::Accepted;
    records_.job.inputPath.clear();
    if (!chosen)
        return false;
    std::vector<std::string> paths;
    for (const QString& file : dialog.selectedFiles())
        paths.push_back(file.toStdString());
    const size_t before = records_.inputs.size();
    addPaths(paths);
    return records_.inputs.size() > before;
}

void MainWindow::chooseInputFolder()
{
    // After a list import the chooser starts beside the list file.
    std::string initial = records_.job.inputFolder;
    if (initial.empty() && !records_.job.inputPath.empty())
        initial = folderPart(records_.job.inputPath);
    QFileDialog dialog(this, records_.text("Dialog", "Select Input Folder"), QString::fromStdString(initial));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    keepMainWindowBusyWhileShown(*this, &dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const std::string folder = dialog.selectedFiles().front().toStdString();
    if (isDirectory(folder))
        addPaths({folder});
}

void MainWindow::addPaths(const std::vector<std::string>& paths)
{
    pathsConverted_ = 0;
    pendingPaths_.insert(pendingPaths_.end(), paths.begin(), paths.end());
    if (!importRunning())
        continueAddingPaths();
}

void MainWindow::continueAddingPaths()
{
    // Files are added in slices so a long list never holds the event loop
    // for more than a few milliseconds at a time.
    QElapsedTimer slice;
    slice.start();
    while (!pendingPaths_.empty()) {
        const std::string path = pendingPaths_.front();
        pendingPaths_.pop_front();
        if (isDirectory(path)) {
            model_->showAddedEntries();
            records_.job.inputFolder = withTrailingSlash(path);
            folderImport_ = importFolder(*this, pathsConverted_);
            connect(folderImport_, &QDialog::finished, this, [this, generation = listGeneration_] {
                pathsConverted_ = folderImport_ ? folderImport_->converted() : pathsConverted_;
                // Once the finished window has let go of the focus.
                QTimer::singleShot(0, this, [this, generation] {
                    if (generation == listGeneration_)
                        continueAddingPaths();
                });
            });
            return;
        }
        addInput(records_.inputs, records_.job, records_.formats, path);
        if (slice.elapsed() > 20 && !pendingPaths_.empty()) {
            model_->showAddedEntries();
            QTimer::singleShot(0, this, [this, generation = listGeneration_] {
                if (generation == listGeneration_ && !importRunning())
                    continueAddingPaths();
            });
            return;
        }
    }
    model_->showAddedEntries();
}

void MainWindow::showFailedFiles(std::map<std::string, std::string> reasons)
{
    const size_t failed = reasons.size();
    model_->markFailed(std::move(reasons));
    if (failed == 0)
        return;
    QItemSelection selection;
    for (int row = 0; row < model_->rowCount(); ++row)
        if (!model_->failureAt(row).empty())
            selection.select(model_->index(row), model_->index(row));
    if (selection.isEmpty())
        return;  // the failed files are no longer in the list
    list_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_->scrollTo(selection.indexes().front());
    if (failed == 1)
        setStatus("Msg", "File not converted");
    else
        setStatusText(QString::fromStdString(
            formatText(lookupText(records_.language, "Msg", "Files not converted"), std::to_string(failed))));
}

void MainWindow::changeEvent(QEvent* event)
{
    // A palette turned dark or light brings the images drawn for it.
    if (event->type() == QEvent::PaletteChange && formatBox_ != nullptr)
        reapplyImages();
    QMainWindow::changeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A conversion or a transfer ends through its own window first.
    if (isBusy() || importRunning()) {
        event->ignore();
        return;
    }
    pendingPaths_.clear();
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls() && !isBusy())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths.push_back(url.toLocalFile().toStdString());
    if (isBusy())
        return;
    // The dropped folders are imported first, then the dropped files added,
    // each in the order they were dropped.
    std::stable_partition(paths.begin(), paths.end(), [](const std::string& path) {
        return isDirectory(path);
    });
    event->setDropAction(Qt::CopyAction);
    event->accept();
    addPaths(paths);
}

}  // namespace quill

#include "ui/preferences_dialog.h"

#include "settings/config_file.h"
#include "settings/defaults.h"
#include "settings/preference_file.h"
#include "settings/setting_codes.h"
#include "ui/colour_items.h"
#include "ui/main_window.h"
#include "ui/main_window_busy.h"
#include "ui/name_filters.h"
#include "ui/preference_binding.h"
#include "ui/preview_window.h"
#include "ui/window_records.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>

namespace quill {
namespace {

constexpr int kPageWidth = 450;
constexpr int kPageHeight = 255;
constexpr int kAreaWidth = 420;  // inside a scroll area, beside its scroll bar
constexpr int kLabelColumnWidth = 160;
constexpr int kLabelGap = 6;  // between the longest label and its control
const QRect kSubPagePlace(0, 40, kPageWidth, 215);

PreferenceChoosers withQtChoosers(PreferenceChoosers choosers)
{
    if (!choosers.colour)
        choosers.colour = [](QWidget* parent, const QColor& initial) -> std::optional<QColor> {
            const QColor chosen = QColorDialog::getColor(initial, parent);
            return chosen.isValid() ? std::optional<QColor>(chosen) : std::nullopt;
        };
    if (!choosers.font)
        choosers.font = [](QWidget* parent, const QFont& initial) -> std::optional<QFont> {
            bool confirmed = false;
            const QFont chosen = QFontDialog::getFont(&confirmed, initial, parent);
            return confirmed ? std::optional<QFont>(chosen) : std::nullopt;
        };
    if (!choosers.openFile)
        choosers.openFile = [](QWidget* parent, const QString& title, const QString& start,
                               const QStringList& filters) {
            return QFileDialog::getOpenFileName(parent, title, start, filters.join(";;"));
        };
    if (!choosers.askYesNo)
        choosers.askYesNo = [](QWidget* parent, const QString& title, const QString& text) {
            QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
            return box.exec() == QMessageBox::Yes;
        };
    return choosers;
}

// The watermark image chooser's filters: pairs of description and patterns.
std::string watermarkImageFilter(WindowRecords& records)
{
    const std::vector<std::pair<std::string, std::string>> kinds{
        {"Portable Network Graphics", "*.png"},
        {"Windows or OS/2 Bitmap", "*.bmp;*.rle;*.dib"},
        {"JPEG File", "*.jpg;*.jpeg;*.jpe;*.jif"},
    };
    std::string all;
    for (const auto& kind : kinds)
        all += (all.empty() ? "" : ";") + kind.second;
    std::string filter = lookupText(records.language, "Dialog", "All Supported Files") + "|" + all;
    for (const auto& [description, patterns] : kinds)
        filter += "|" + description + "|" + patterns;
    return filter + "|" + lookupText(records.language, "Dialog", "All Files") + " (*.*)|*.*";
}

// Bold 256, italic 512, both 768, neither 0: the values of the Font Style items.
int fontStyleValue(const QFont& font)
{
    return (font.bold() ? 256 : 0) + (font.italic() ? 512 : 0);
}

}  // namespace

PreferencesDialog::PreferencesDialog(MainWindow& main, PreferenceChoosers choosers)
    : QDialog(&main), main_(main), choosers_(withQtChoosers(std::move(choosers)))
{
    setWindowTitle(main_.records().text("Preferences", "Title"));
    setFixedSize(600, 350);
    buildFrame();
    for (const PageSpec& page : preferencePages())
        buildPage(page);
    buildButtons();  // after the pages, so Tab reaches the page's rows first
    widenLabelColumn();
    fill();
    connectRules();
    applyRules();
    connectDraft();
}

Settings PreferencesDialog::draftSettings()
{
    // The rows store into the window's records; what they store is taken
    // as the draft and the stored settings put back.
    WindowRecords& records = main_.records();
    const Settings stored = records.settings;
    for (const PreferenceRow& each : rows_)
        storeRow(each, records);
    Settings draft = records.settings;
    records.settings = stored;
    return draft;
}

void PreferencesDialog::connectDraft()
{
    // The preview follows every change; it waits for a pause itself.
    auto changed = [this] {
        if (PreviewWindow* preview = openPreview(main_)) {
            const Settings draft = draftSettings();
            preview->showDraft(&draft);
        }
    };
    for (const PreferenceRow& row : rows_) {
        for (QComboBox* list : {row.list, row.unit})
            if (list != nullptr)
                connect(list, &QComboBox::currentIndexChanged, this, changed);
        if (row.check != nullptr)
            connect(row.check, &QCheckBox::toggled, this, changed);
        if (row.field != nullptr)
            connect(row.field, &QLineEdit::textChanged, this, changed);
        if (row.slider != nullptr)
            connect(row.slider, &QSlider::valueChanged, this, changed);
        if (row.spin != nullptr)
            connect(row.spin, &QSpinBox::valueChanged, this, changed);
        if (row.date != nullptr)
            connect(row.date, &QDateTimeEdit::dateTimeChanged, this, changed);
    }
    // OK stores the draft, Cancel drops it: either way the stored settings hold.
    connect(this, &QDialog::finished, this, [this] {
        if (PreviewWindow* preview = openPreview(main_))
            preview->showDraft(nullptr);
    });
}

void PreferencesDialog::buildButtons()
{
    WindowRecords& records = main_.records();
    defaultsButton_ = new QPushButton(records.text("Dialog", "Defaults"), this);
    defaultsButton_->setGeometry(10, 315, 80, 25);
    okButton_ = new QPushButton(records.text("Dialog", "OK"), this);
    okButton_->setGeometry(420, 315, 80, 25);
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton(records.text("Dialog", "Cancel"), this);
    cancelButton_->setGeometry(510, 315, 80, 25);
    connect(defaultsButton_, &QPushButton::clicked, this, [this] {
        resetToDefaults();
    });
    connect(okButton_, &QPushButton::clicked, this, [this] {
        accept();
    });
    connect(cancelButton_, &QPushButton::clicked, this, [this] {
        reject();
    });
}

void PreferencesDialog::widenLabelColumn()
{
    // The rows were drawn for a 160-pixel label column. A larger system font
    // would clip labels there ("Output Folders Histor"), so the column widens
    // to the longest label and the controls, the pages and the dialog move
    // with it; at the font the rows were drawn for nothing moves.
    int widest = 0;
    for (const PreferenceRow& row : rows_)
        widest = std::max(widest, row.label->sizeHint().width());
    const int extra = std::max(0, widest + kLabelGap - kLabelColumnWidth);
    fitButtons(extra);
    if (extra == 0)
        return;
    for (const PreferenceRow& row : rows_) {
        for (QWidget* widget : row.widgets()) {
            if (widget == row.label)
                widget->resize(widget->width() + extra, widget->height());
            else
                widget->move(widget->x() + extra, widget->y());
        }
    }
    for (QWidget* area : areas_) {
        if (area->maximumWidth() == area->minimumWidth())  // a scroll area's fixed inner page
            area->setFixedWidth(area->width() + extra);
        else
            area->resize(area->width() + extra, area->height());
    }
    pages_->resize(pages_->width() + extra, pages_->height());
    header_->resize(header_->width() + extra, header_->height());
    setFixedSize(width() + extra, height());
}

void PreferencesDialog::fitButtons(int extra)
{
    // 80 pixels hold the captions at the font the dialog was drawn for; a
    // larger font widens a button to its caption, OK and Cancel staying
    // right-aligned.
    auto widthOf = [](QPushButton* button) {
        return std::max(80, button->sizeHint().width());
    };
    defaultsButton_->resize(widthOf(defaultsButton_), defaultsButton_->height());
    int right = 590 + extra;
    for (QPushButton* button : {cancelButton_, okButton_}) {
        const int width = widthOf(button);
        button->setGeometry(right - width, button->y(), width, button->height());
        right -= width + 10;
    }
}

void PreferencesDialog::buildFrame()
{
    WindowRecords& records = main_.records();
    pageList_ = new QTreeWidget(this);
    pageList_->setGeometry(10, 10, 120, 295);
    pageList_->setHeaderHidden(true);
    pageList_->setRootIsDecorated(false);
    pageList_->setAccessibleName(records.text("Preferences", "Title"));
    for (const PageSpec& page : preferencePages())
        pageList_->addTopLevelItem(new QTreeWidgetItem({records.text("Preferences", page.key)}));

    auto* header = header_ = new QFrame(this);
    header->setGeometry(140, 10, 450, 30);
    header->setFrameShape(QFrame::Box);
    header->setFrameShadow(QFrame::Plain);
    header->setAutoFillBackground(true);
    QPalette white = header->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    header->setPalette(white);
    title_ = new QLabel(header);
    title_->setGeometry(10, 7, 330, 20);  // at (150, 17) in the window
    QFont bold = title_->font();
    bold.setPointSize(10);
    bold.setBold(true);
    title_->setFont(bold);

    pages_ = new QStackedWidget(this);
    pages_->setGeometry(140, 50, kPageWidth, kPageHeight);
}

QWidget* PreferencesDialog::buildArea(QWidget* parent, int scrollHeight, QRect place)
{
    if (scrollHeight <= 0) {
        auto* area = new QWidget(parent);
        area->setGeometry(place);
        areas_.push_back(area);
        return area;
    }
    auto* scroll = new QScrollArea(parent);
    scroll->setGeometry(place);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->verticalScrollBar()->setSingleStep(10);
    auto* inner = new QWidget;
    inner->setFixedSize(kAreaWidth, scrollHeight);
    scroll->setWidget(inner);
    areas_.push_back(scroll);
    areas_.push_back(inner);
    return inner;
}

void PreferencesDialog::addRows(const std::vector<RowSpec>& specs, QWidget* area, const std::string& prefix)
{
    for (size_t i = 0; i < specs.size(); ++i) {
        const PreferenceRow& row = rows_.emplace_back(buildRow(specs[i], static_cast<int>(i), area, main_.records()));
        if (specs[i].id != RowId::None)
            rowsByHandle_[static_cast<size_t>(specs[i].id)] = &row;
        rowsByPath_.emplace(prefix + std::string(specs[i].label), &row);
    }
}

void PreferencesDialog::buildPage(const PageSpec& spec)
{
    auto* page = new QWidget(pages_);
    pages_->addWidget(page);
    const std::string name(spec.key);
    QWidget* area = buildArea(page, spec.scrollHeight, QRect(0, 0, kPageWidth, kPageHeight));
    addRows(spec.rows, area, name + ":");
    for (const SubPageSpec& sub : spec.subPages) {
        QWidget* subArea = buildArea(area, sub.scrollHeight, kSubPagePlace);
        // A scroll area's rows sit in its inner widget, two levels below it.
        QWidget* shown = sub.scrollHeight > 0 ? subArea->parentWidget()->parentWidget() : subArea;
        subPages_[name + "/" + std::string(sub.key)] = shown;
        addRows(sub.rows, subArea, name + "/" + std::string(sub.key) + ":");
    }
    if (spec.rows.empty() || spec.rows.front().kind != RowKind::OutputFormat)
        return;
    // One sub-page per output format of the table, starting with its depths.
    for (const OutputFormatRow* format : main_.records().formats.outputFormats) {
        const std::string key(format->key);
        std::vector<RowSpec> specs{
            {.label = "Bits Per Pixel", .kind = RowKind::Depth, .member = format->depth, .format = format->key}};
        const std::vector<RowSpec>& extra = outputFormatRows(key);
        specs.insert(specs.end(), extra.begin(), extra.end());
        QWidget* subArea = buildArea(area, 0, kSubPagePlace);
        subPages_[name + "/" + key] = subArea;
        const size_t first = outputSpecs_.size();
        outputSpecs_.insert(outputSpecs_.end(), specs.begin(), specs.end());
        for (size_t i = first; i < outputSpecs_.size(); ++i) {
            const PreferenceRow& row =
                rows_.emplace_back(buildRow(outputSpecs_[i], static_cast<int>(i - first), subArea, main_.records()));
            rowsByPath_.emplace(name + "/" + key + ":" + std::string(outputSpecs_[i].label), &row);
        }
    }
}

void PreferencesDialog::fill()
{
    WindowRecords& records = main_.records();
    for (const PreferenceRow& row : rows_)
        fillRow(row, records);
    const int page = records.windowState.rememberedPage < kPreferencePageCount ? records.windowState.rememberedPage : 0;
    showPage(page);
}

void PreferencesDialog::connectRules()
{
    connect(pageList_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr)
            showPage(pageList_->indexOfTopLevelItem(item));
    });
    for (const PreferenceRow& row : rows_) {
        if (row.list != nullptr)
            connect(row.list, &QComboBox::currentIndexChanged, this, [this] {
                applyRules();
            });
        if (row.check != nullptr)
            connect(row.check, &QCheckBox::toggled, this, [this] {
                applyRules();
            });
        const RowKind kind = row.spec->kind;
        const PreferenceRow* target = &row;
        // A chooser opens once the click has returned, so a press through an
        // assistive tool returns at once instead of waiting inside the
        // chooser's own event loop.
        auto opens = [this, target](void (PreferencesDialog::*choose)(const PreferenceRow&)) {
            return [this, target, choose] {
                QTimer::singleShot(0, this, [this, target, choose] {
                    (this->*choose)(*target);
                });
            };
        };
        if (kind == RowKind::Colour)
            connect(row.button, &QToolButton::clicked, this, opens(&PreferencesDialog::chooseColour));
        else if (kind == RowKind::ColourHistory)
            connect(row.button, &QToolButton::clicked, this, opens(&PreferencesDialog::chooseHistoryColour));
        else if (kind == RowKind::FontList)
            connect(row.button, &QToolButton::clicked, this, opens(&PreferencesDialog::chooseFont));
        else if (kind == RowKind::Text && row.spec->chooser)
            connect(row.button, &QToolButton::clicked, this, opens(&PreferencesDialog::chooseImage));
    }
}

void PreferencesDialog::showPage(int page)
{
    if (page < 0 || page >= pages_->count())
        return;
    pages_->setCurrentIndex(page);
    QTreeWidgetItem* item = pageList_->topLevelItem(page);
    if (pageList_->currentItem() != item)
        pageList_->setCurrentItem(item);
    title_->setText(item->text(0));
}

void PreferencesDialog::applyRules()
{
    WindowRecords& records = main_.records();
    auto formatKey = [this](RowId id, const std::vector<std::string>& formats) {
        const int index = row(id)->list->currentData().isValid() ? row(id)->list->currentData().toInt() : -1;
        return index >= 0 && static_cast<size_t>(index) < formats.size() ? formats[static_cast<size_t>(index)]
                                                                         : std::string();
    };
    const std::map<std::string, std::string> shown{
        {"Input", formatKey(RowId::InputFormat, records.formats.inputFormatList)},
        {"Output", formatKey(RowId::OutputFormat, records.formats.outputFormatList)},
        {"Frame", std::to_string(row(RowId::FrameType)->list->currentIndex())},
        {"Watermark", std::to_string(row(RowId::WatermarkType)->list->currentIndex())},
    };
    for (const auto& [name, widget] : subPages_) {
        const std::string page = name.substr(0, name.find('/'));
        widget->setVisible(name == page + "/" + shown.at(page));
    }

    const int loadAs = row(RowId::RawLoadAs)->list->currentIndex();
    const bool pixelImport = is(loadAs, RawLoadAs::Rgb8) || is(loadAs, RawLoadAs::Rgb16);
    for (RowId id : {RowId::RawHeader, RowId::RawWidth, RowId::RawHeight})
        row(id)->setEnabled(pixelImport);
    row(RowId::RawTone)->setEnabled(is(loadAs, RawLoadAs::Rgb48HalfSize) || is(loadAs, RawLoadAs::Rgb48));

    const bool rotation = row(RowId::Rotation)->check->isChecked();
    for (RowId id : {RowId::RotationType, RowId::RotationAngle, RowId::RotationBack})
        row(id)->setEnabled(rotation);
    const bool resize = row(RowId::Resize)->check->isChecked();
    for (RowId id : {RowId::Width, RowId::Height, RowId::KeepAspect, RowId::ResizeType, RowId::ResizeAlgorithm})
        row(id)->setEnabled(resize);
    row(RowId::ThresholdLevel)->setEnabled(row(RowId::Threshold)->check->isChecked());
    row(RowId::DitherAlgorithm)->setEnabled(row(RowId::Dither)->check->isChecked());
    row(RowId::TextScale)->setVisible(row(RowId::TextSize)->list->currentIndex() == 1);
    row(RowId::ImageScale)->setVisible(row(RowId::ImageSize)->list->currentIndex() == 1);
    row(RowId::CustomTimestamp)->setEnabled(is(row(RowId::Timestamp)->list->currentIndex(), FileTimestamp::Custom));
}

const PreferenceRow* PreferencesDialog::row(RowId id) const
{
    return rowsByHandle_.at(static_cast<size_t>(id));
}

const PreferenceRow* PreferencesDialog::row(const std::string& path) const
{
    auto found = rowsByPath_.find(path);
    return found == rowsByPath_.end() ? nullptr : found->second;
}

QWidget* PreferencesDialog::subPage(const std::string& page, const std::string& key) const
{
    auto found = subPages_.find(page + "/" + key);
    return found == subPages_.end() ? nullptr : found->second;
}

void PreferencesDialog::chooseColour(const PreferenceRow& target)
{
    const uint32_t current = colourValueFromHex(target.field->text().toStdString());
    const std::optional<QColor> chosen = choosers_.colour(this, qColourFromValue(current));
    if (!chosen)
        return;
    const uint32_t value = colourValueFromQColour(*chosen);
    if (value == current)
        return;
    target.button->setIcon(colourSwatch(value, 34, 12));
    target.field->setText(QString::fromStdString(hexFromColourValue(value)));
}

void PreferencesDialog::chooseHistoryColour(const PreferenceRow& target)
{
    WindowRecords& records = main_.records();
    const uint32_t current = target.list->currentIndex() >= 0 ? target.list->currentData().toUInt() : 0;
    const std::optional<QColor> chosen = choosers_.colour(this, qColourFromValue(current));
    if (!chosen)
        return;
    const uint32_t value = colourValueFromQColour(*chosen);
    // The history takes a new colour at once, whatever becomes of the dialog.
    std::string& history = *settingText(records.settings, target.spec->second);
    const std::vector<std::string> entries = historyEntries(history);
    const bool known = std::any_of(entries.begin(), entries.end(), [value](const std::string& entry) {
        return colourValueFromHex(entry) == value;
    });
    if (!known) {
        addColourItem(target, value, records);
        history += (history.empty() ? "" : ",") + hexFromColourValue(value);
    }
    target.list->setCurrentIndex(itemWithValue(target, static_cast<int>(value)));
}

void PreferencesDialog::chooseFont(const PreferenceRow& target)
{
    WindowRecords& records = main_.records();
    const PreferenceRow* size = row(RowId::FontSize);
    QFont initial(target.list->currentText());
    const int points = integerFromText(size->field->text().toStdString());
    if (points > 0)
        initial.setPointSize(points);
    const std::optional<QFont> chosen = choosers_.font(this, initial);
    if (!chosen)
        return;
    // Commas separate the names of the font history.
    const QString name = chosen->family().remove(',');
    std::string& fonts = records.settings.wmFonts;
    const std::vector<std::string> names = historyEntries(fonts);
    if (std::find(names.begin(), names.end(), name.toStdString()) == names.end()) {
        target.list->addItem(name);
        fonts += (fonts.empty() ? "" : ",") + name.toStdString();
    }
    const int item = target.list->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item >= 0)
        target.list->setCurrentIndex(item);
    target.list->setEditText(name);
    if (chosen->pointSize() > 0)
        size->field->setText(QString::number(chosen->pointSize()));
    const PreferenceRow* style = row(RowId::FontStyle);
    if (const int styleItem = itemWithValue(*style, fontStyleValue(*chosen)); styleItem >= 0)
        style->list->setCurrentIndex(styleItem);
}

void PreferencesDialog::chooseImage(const PreferenceRow& target)
{
    WindowRecords& records = main_.records();
    const QString file = choosers_.openFile(this, records.text("Dialog", "Select Watermark Image"),
                                            target.field->text().trimmed(), nameFilters(watermarkImageFilter(records)));
    if (!file.isEmpty())
        target.field->setText(file);
}

void PreferencesDialog::storeAll()
{
    WindowRecords& records = main_.records();
    Settings& settings = records.settings;
    // The look changes only when its choice differs from what is in effect;
    // a new theme reloads everything, so it wins over a new size.
    if (row(RowId::UiSize)->list->currentIndex() != settings.uiSize)
        records.windowState.appearanceChange = 2;
    const QVariant theme = row(RowId::Theme)->list->currentData();
    if (theme.isValid() && theme.toString().toStdString() != settings.uiTheme)
        records.windowState.appearanceChange = 1;
    for (const PreferenceRow& each : rows_)
        storeRow(each, records);
    const bool corrected = settings.imageBrightness != 0 || settings.imageContrast != 0 ||
                           row(RowId::Gamma)->spin->value() != 100 || settings.imageInvert != 0;
    settings.doImageColorCorrection = corrected ? 1 : 0;
}

void PreferencesDialog::accept()
{
    storeAll();
    finish();
}

void PreferencesDialog::resetToDefaults()
{
    WindowRecords& records = main_.records();
    if (!choosers_.askYesNo(this, records.text("Msg", "Reset to Defaults"),
                            records.text("Msg", "Ask reset to defaults")))
        return;
    Settings& settings = records.settings;
    // Compared with what the window shows now, not with the dialog's unsaved
    // choice: the window must follow the defaults whatever was picked here.
    const int32_t sizeBefore = settings.uiSize;
    const std::string themeBefore = settings.uiTheme;
    DesktopSize desktop = kAssumedDesktop;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        desktop = {screen->size().width(), screen->size().height()};
    applyDefaults(settings, false, desktop, productInputFormats(), productOutputFormats());
    if (settings.uiSize != sizeBefore)
        records.windowState.appearanceChange = 2;
    if (settings.uiTheme != themeBefore)
        records.windowState.appearanceChange = 1;
    finish();
}

void PreferencesDialog::finish()
{
    WindowRecords& records = main_.records();
    saveSettings(records.settings, records.configPath, productInputFormats(), productOutputFormats());
    main_.applyPreferences();
    QDialog::accept();
}

PreferencesDialog* openPreferences(MainWindow& main, PreferenceChoosers choosers)
{
    auto* open = main.findChild<PreferencesDialog*>(QString(), Qt::FindDirectChildrenOnly);
    if (open != nullptr && open->isVisible()) {
        open->raise();
        open->activateWindow();
        return open;
    }
    auto* dialog = new PreferencesDialog(main, std::move(choosers));
    // The main window takes no input while the dialog is open.
    dialog->setWindowModality(Qt::ApplicationModal);
    QObject::connect(dialog, &QDialog::finished, &main, [dialog, &main] {
        dialog->deleteLater();
        main.activateWindow();
    });
    dialog->move(main.geometry().center() - dialog->rect().center());
    keepMainWindowBusyWhileShown(main, dialog);
    dialog->show();
    dialog->pageList()->setFocus();
    return dialog;
}

}  // namespace quill

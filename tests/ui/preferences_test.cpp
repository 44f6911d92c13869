// The preferences dialog as a user meets it: filled from the settings, its
// rules between controls, sliders and spins in step, the choosers, and what
// OK, Defaults and Cancel store.
#include "platform/paths.h"
#include "settings/config_file.h"
#include "settings/defaults.h"
#include "settings/settings_fields.h"
#include "ui/colour_items.h"
#include "ui/images.h"
#include "ui/preferences_dialog.h"
#include "ui_fixture.h"
#include "theme_pack_files.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest/QTest>

namespace quill::test {
namespace {

using FieldTexts = std::map<std::string, std::string>;

FieldTexts fieldTexts(const Settings& settings)
{
    FieldTexts texts;
    for (const SettingField& field : settingFields())
        texts[std::string(field.group) + "/" + std::string(field.key)] = fieldText(settings, field);
    return texts;
}

class PreferencesTest : public WindowTest {
public:
    void SetUp() override
    {
        makeWindow([this](WindowHooks& hooks) {
            hooks.preferences = [this](MainWindow& main) {
                dialog = openPreferences(main, choosers());
            };
        });
    }

    PreferenceChoosers choosers()
    {
        PreferenceChoosers answers;
        answers.colour = [this](QWidget*, const QColor&) {
            ++coloursAsked;
            return chosenColour;
        };
        answers.font = [this](QWidget*, const QFont&) {
            return chosenFont;
        };
        answers.openFile = [this](QWidget*, const QString& title, const QString&, const QStringList& filters) {
            fileChooserTitle = title;
            fileFilters = filters;
            return chosenFile;
        };
        answers.askYesNo = [this](QWidget*, const QString& title, const QString& text) {
            question = title + "|" + text;
            return answerYes;
        };
        return answers;
    }

    PreferencesDialog* open(Command command = Command::Preferences)
    {
        window->runCommand(command);
        QApplication::processEvents();
        return dialog;
    }

    const PreferenceRow& row(const std::string& path)
    {
        const PreferenceRow* found = dialog->row(path);
        EXPECT_NE(found, nullptr) << path;
        return *found;
    }

    const PreferenceRow& row(RowId id) { return *dialog->row(id); }

    void typeInto(QWidget* field, const QString& text)
    {
        field->setFocus();
        if (auto* spin = qobject_cast<QAbstractSpinBox*>(field))
            spin->selectAll();
        if (auto* line = qobject_cast<QLineEdit*>(field))
            line->selectAll();
        QTest::keyClicks(field, text);
    }

    /// A row's chooser button; the chooser runs once the click has returned.
    void choose(QToolButton* button)
    {
        button->click();
        QApplication::processEvents();
    }

    bool dialogOpen() const { return dialog != nullptr && dialog->isVisible(); }

    QPointer<PreferencesDialog> dialog;  // gone once a closed dialog is deleted
    std::optional<QColor> chosenColour;
    int coloursAsked = 0;
    std::optional<QFont> chosenFont;
    QString chosenFile;
    QString fileChooserTitle;
    QStringList fileFilters;
    QString question;
    bool answerYes = false;
};

// A record with a value other than the default on every page.
Settings unusualSettings(Settings settings)
{
    settings.updateRange = 4;
    settings.saveWindowPosition = 0;
    settings.uiSize = 3;
    settings.ddsLoadAs = 2;
    settings.gifFrameLoading = 3;
    settings.icoFrameLoading = 1;
    settings.tiffFrameLoading = 4;
    settings.psdColorMode = 2;
    settings.rawLoadAs = 2;
    settings.rawHeaderSize = 16;
    settings.rawImageWidth = 640;
    settings.rawImageHeight = 480;
    settings.rawToneMapping = 3;
    settings.bmpBpp = 8;
    settings.bmpCompression = 1;
    settings.exrCompression = 4;
    settings.jpgBpp = 8;
    settings.jpgQuality = 42;
    settings.jpgChroma = 3;
    settings.jpgSaveAs = 3;
    settings.pngCompression = 2;
    settings.pngInterlaced = 1;
    settings.tiffBpp = 48;
    settings.tiffCompression = 6;
    settings.tiffColorMode = 1;
    settings.webpQuality = 77;
    settings.doImageRotation = 1;
    settings.imageRotationType = 1;
    settings.imageRotation = 270;
    settings.imageRotationBackColor = "12AB34";
    settings.doImageResize = 1;
    settings.imageWidth = 50;
    settings.imageWidthUnit = 1;
    settings.imageHeight = 300;
    settings.keepAspectRatio = 0;
    settings.imageResizeType = 1;
    settings.imageResizeAlgorithm = 5;
    settings.doImageFlipHorizontal = 1;
    settings.doImageFlipVertical = 1;
    settings.doImageColorCorrection = 1;
    settings.imageBrightness = -40;
    settings.imageContrast = 25;
    settings.imageGamma = 1.5f;
    settings.imageInvert = 1;
    settings.doImageGreyscale = 1;
    settings.doImageThreshold = 1;
    settings.imageThreshold = 200;
    settings.doImageDither = 1;
    settings.imageDitherAlgorithm = 6;
    settings.doFrame = 1;
    settings.solidLeft = 3;
    settings.solidRight = 4;
    settings.solidTop = 5;
    settings.solidBottom = 6;
    settings.solidLeftColor = "FF0000";
    settings.solidRightColor = "00FF00";
    settings.solidTopColor = "0000FF";
    settings.solidBottomColor = "ABCDEF";
    settings.solidOpacity = 128;
    settings.doWatermark = 2;
    settings.wmText = "Proof %eol% copy";
    settings.wmFonts = "DejaVu Sans,Liberation Serif";
    settings.wmFont = "Liberation Serif";
    settings.wmFontSize = 22;
    settings.wmFontLeading = 3;
    settings.wmFontColor = "FF8000";
    settings.wmFontStyle = 3;
    settings.wmFontEffect = 2;
    settings.wmTextAntialiasing = 1;
    settings.wmTextAlignment = 2;
    settings.wmTextPadding = 7;
    settings.wmTextOpacity = 100;
    settings.wmBackColor = "0000FF";
    settings.wmBackOpacity = 60;
    settings.wmTextBoundary = 1;
    settings.wmTextPosition = 4;
    settings.wmTextXOffset = 11;
    settings.wmTextYOffset = 12;
    settings.wmTextRotation = 45;
    settings.wmImage = "/photos/mark.png";
    settings.wmImageGreyscale = 1;
    settings.wmImageOpacity = 90;
    settings.wmImageBoundary = 1;
    settings.wmImagePosition = 2;
    settings.wmImageXOffset = 13;
    settings.wmImageYOffset = 14;
    settings.wmImageRotation = 90;
    settings.filenameMask = "%filename%-%n%.%ext%";
    settings.fileTimestamp = 2;
    settings.customTimestamp = 1600000000;
    settings.outFoldersHistory = 0;
    settings.outFoldersNumber = 9;
    settings.keepSubfolders = 0;
    settings.workerThreads = 6;
    return settings;
}

// The rules find their rows by handle: each handle names exactly one row.
TEST(PreferencePages, EveryRowHandleNamesOneRow)
{
    std::array<int, static_cast<size_t>(RowId::Count)> uses{};
    auto count = [&uses](const std::vector<RowSpec>& rows) {
        for (const RowSpec& spec : rows)
            ++uses[static_cast<size_t>(spec.id)];
    };
    for (const PageSpec& page : preferencePages()) {
        count(page.rows);
        for (const SubPageSpec& sub : page.subPages)
            count(sub.rows);
    }
    for (size_t id = 1; id < uses.size(); ++id)
        EXPECT_EQ(uses[id], 1) << "row handle " << id;
}

TEST_F(PreferencesTest, FrameHoldsNinePagesAndEveryControlIsNamedAfterItsLabel)
{
    open();
    EXPECT_EQ(dialog->size(), QSize(600, 350));
    EXPECT_EQ(dialog->windowTitle(), "Preferences...");
    EXPECT_EQ(dialog->pageList()->geometry(), QRect(10, 10, 120, 295));
    std::vector<std::string> pages;
    for (int page = 0; page < dialog->pageList()->topLevelItemCount(); ++page)
        pages.push_back(dialog->pageList()->topLevelItem(page)->text(0).toStdString());
    EXPECT_EQ(pages, (std::vector<std::string>{"General", "Interface", "Input", "Output", "Transform", "Adjustment",
                                               "Frame", "Watermark", "Advanced"}));
    for (QPushButton* button : {dialog->defaultsButton(), dialog->okButton(), dialog->cancelButton()})
        EXPECT_EQ(button->geometry().size(), QSize(80, 25)) << button->text().toStdString();
    EXPECT_EQ(row("Advanced:Worker Threads").label->text(), "Worker Threads:");
    EXPECT_EQ(row("Advanced:Worker Threads").spin->maximum(), 64);
    EXPECT_EQ(row("Advanced:Existing Files").label->text(), "Existing Files:");
    EXPECT_EQ(row("Advanced:Existing Files").list->itemText(2), "Update when the input is newer");
    EXPECT_EQ(row("Adjustment:Dither Algorithm").list->itemText(0), "Floyd and Steinberg error diffusion");

    for (QWidget* widget : dialog->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QComboBox*>(widget) || qobject_cast<QCheckBox*>(widget) ||
                             qobject_cast<QAbstractSpinBox*>(widget) || qobject_cast<QSlider*>(widget) ||
                             qobject_cast<QToolButton*>(widget) ||
                             (qobject_cast<QLineEdit*>(widget) && !qobject_cast<QAbstractSpinBox*>(widget->parent()) &&
                              !qobject_cast<QComboBox*>(widget->parent()));
        if (control && !qobject_cast<QScrollBar*>(widget)) {
            EXPECT_FALSE(widget->accessibleName().isEmpty()) << widget->metaObject()->className();
        }
    }
    // Tab leads from the page list into the page's rows, then to the buttons.
    dialog->activateWindow();
    dialog->pageList()->setFocus();
    std::vector<std::string> reached;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        auto* button = qobject_cast<QPushButton*>(focus);
        reached.push_back((button != nullptr ? button->text() : focus->accessibleName()).toStdString());
    }
    EXPECT_EQ(reached,
              (std::vector<std::string>{"Language", "Check for Updates", "Save Window's Coords", "Defaults", "OK"}));

    const PreferenceRow& quality = row("Output/jpg:Image Quality");
    EXPECT_EQ(quality.spin->accessibleName(), "Image Quality");
    EXPECT_EQ(quality.slider->accessibleName(), "Image Quality slider");
    EXPECT_EQ(row(RowId::Width).unit->accessibleName(), "Image Width unit");
    EXPECT_EQ(row(RowId::Font).button->accessibleName(), "Font chooser");
}

TEST_F(PreferencesTest, OkWithoutChangesKeepsEverySettingApartFromItsDerivations)
{
    records->settings = unusualSettings(records->settings);
    records->settings.language = "de";
    records->settings.doImageColorCorrection = 0;  // derived again from brightness and the rest
    Settings expected = records->settings;
    expected.language = "en";
    expected.doImageColorCorrection = 1;
    open();
    ASSERT_TRUE(dialogOpen());
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    EXPECT_FALSE(dialogOpen());
    EXPECT_EQ(fieldTexts(records->settings), fieldTexts(expected));
}

TEST_F(PreferencesTest, OkKeepsCodesTheListsDoNotOffer)
{
    // Values from a hand-edited file or a profile: no item shows them, and
    // storing "no item" would write a wrong code.
    records->settings.wmTextSize = 1;
    records->settings.tiffBpp = 16;
    records->settings.imageWidthUnit = 7;
    records->settings.rawToneMapping = 9;
    const FieldTexts before = fieldTexts(records->settings);
    open();
    dialog->okButton()->click();
    for (const char* key :
         {"Watermark/Text Size", "Output/TIFF BPP", "Transform/Image Width Unit", "Input/RAW Tone Mapping"})
        EXPECT_EQ(fieldTexts(records->settings)[key], before.at(key)) << key;
}

TEST_F(PreferencesTest, ControlsEnableAndShowTheirDependentRows)
{
    struct Rule {
        RowId decider;  // a check box (0/1) or a list (item)
        int choice;
        std::vector<RowId> rows;
        bool enabled;
    };
    const std::vector<Rule> rules{
        {RowId::RawLoadAs, 0, {RowId::RawHeader, RowId::RawWidth, RowId::RawHeight, RowId::RawTone}, false},
        {RowId::RawLoadAs, 1, {RowId::RawHeader, RowId::RawWidth, RowId::RawHeight}, true},
        {RowId::RawLoadAs, 2, {RowId::RawHeader, RowId::RawWidth, RowId::RawHeight}, true},
        {RowId::RawLoadAs, 2, {RowId::RawTone}, false},
        {RowId::RawLoadAs, 3, {RowId::RawHeader, RowId::RawWidth, RowId::RawHeight, RowId::RawTone}, false},
        {RowId::RawLoadAs, 4, {RowId::RawHeader, RowId::RawWidth, RowId::RawHeight}, false},
        {RowId::RawLoadAs, 4, {RowId::RawTone}, true},
        {RowId::RawLoadAs, 5, {RowId::RawTone}, true},
        {RowId::Rotation, 1, {RowId::RotationType, RowId::RotationAngle, RowId::RotationBack}, true},
        {RowId::Rotation, 0, {RowId::RotationType, RowId::RotationAngle, RowId::RotationBack}, false},
        {RowId::Resize,
         1,
         {RowId::Width, RowId::Height, RowId::KeepAspect, RowId::ResizeType, RowId::ResizeAlgorithm},
         true},
        {RowId::Resize,
         0,
         {RowId::Width, RowId::Height, RowId::KeepAspect, RowId::ResizeType, RowId::ResizeAlgorithm},
         false},
        {RowId::Threshold, 1, {RowId::ThresholdLevel}, true},
        {RowId::Threshold, 0, {RowId::ThresholdLevel}, false},
        {RowId::Dither, 1, {RowId::DitherAlgorithm}, true},
        {RowId::Dither, 0, {RowId::DitherAlgorithm}, false},
        {RowId::Timestamp, 2, {RowId::CustomTimestamp}, true},
        {RowId::Timestamp, 1, {RowId::CustomTimestamp}, false},
        {RowId::Timestamp, 0, {RowId::CustomTimestamp}, false},
    };
    open();
    for (const Rule& rule : rules) {
        SCOPED_TRACE(std::to_string(static_cast<int>(rule.decider)) + " " + std::to_string(rule.choice));
        const PreferenceRow& decider = row(rule.decider);
        if (decider.check != nullptr)
            decider.check->setChecked(rule.choice != 0);
        else
            decider.list->setCurrentIndex(rule.choice);
        for (RowId id : rule.rows)
            for (QWidget* widget : row(id).widgets())
                EXPECT_EQ(widget->isEnabled(), rule.enabled) << static_cast<int>(id);
    }
    row(RowId::Resize).check->setChecked(false);
    EXPECT_TRUE(dialog->pages()->widget(4)->findChildren<QCheckBox*>().back()->isEnabled()) << "flips stay enabled";

    struct Shown {
        RowId selector;
        int choice;
        std::vector<std::pair<const char*, const char*>> subPages;  // page, key
        std::vector<bool> visible;
    };
    const std::vector<Shown> shown{
        {RowId::FrameType, 1, {{"Frame", "1"}}, {true}},
        {RowId::FrameType, 0, {{"Frame", "1"}}, {false}},
        {RowId::WatermarkType, 0, {{"Watermark", "1"}, {"Watermark", "2"}}, {false, false}},
        {RowId::WatermarkType, 1, {{"Watermark", "1"}, {"Watermark", "2"}}, {true, false}},
        {RowId::WatermarkType, 2, {{"Watermark", "1"}, {"Watermark", "2"}}, {false, true}},
        {RowId::InputFormat, 0, {{"Input", "raw"}, {"Input", "tiff"}, {"Input", "gif"}}, {true, false, false}},
        {RowId::OutputFormat, 0, {{"Output", "tiff"}, {"Output", "jpg"}, {"Output", "png"}}, {true, false, false}},
    };
    for (const Shown& rule : shown) {
        SCOPED_TRACE(std::to_string(static_cast<int>(rule.selector)) + " " + std::to_string(rule.choice));
        row(rule.selector).list->setCurrentIndex(rule.choice);
        for (size_t i = 0; i < rule.subPages.size(); ++i)
            EXPECT_EQ(!dialog->subPage(rule.subPages[i].first, rule.subPages[i].second)->isHidden(), rule.visible[i])
                << rule.subPages[i].second;
    }
    EXPECT_EQ(row(RowId::InputFormat).list->count(), 1);
    EXPECT_EQ(row(RowId::OutputFormat).list->itemText(0), "TIFF");
    // The size lists offer only "Fixed", so the scale rows stay hidden.
    for (RowId id : {RowId::TextScale, RowId::ImageScale})
        EXPECT_TRUE(row(id).slider->isHidden()) << static_cast<int>(id);

    for (int page = 0; page < kPreferencePageCount; ++page) {
        dialog->pageList()->setCurrentItem(dialog->pageList()->topLevelItem(page));
        EXPECT_EQ(dialog->pages()->currentIndex(), page);
        EXPECT_EQ(dialog->pageTitle()->text(), dialog->pageList()->topLevelItem(page)->text(0));
    }
}

TEST_F(PreferencesTest, SpinsClampTypedNumbersAndMoveTheirSliders)
{
    struct Typing {
        const char* row;
        const char* typed;
        const char* shown;
        int slider;
    };
    const std::vector<Typing> cases{
        {"Output/jpg:Image Quality", "150", "100", 100},
        {"Output/jpg:Image Quality", "0", "1", 1},
        {"Adjustment:Image Brightness", "-30", "-30", 70},
        {"Adjustment:Image Brightness", "250", "100", 200},
        {"Adjustment:Image Contrast", "-999", "-100", 0},
        {"Adjustment:Image Gamma", "1.5", "1.50", 150},
        {"Adjustment:Image Gamma", "0", "0.01", 1},
        {"Adjustment:Image Gamma", "12", "9.99", 999},
        {"Frame/1:Opacity", "0", "1", 1},
        {"Watermark/1:Rotation Angle", "400", "360", 360},
        {"Advanced:Worker Threads", "99", "64", 64},
    };
    open();
    for (const Typing& typing : cases) {
        SCOPED_TRACE(std::string(typing.row) + " " + typing.typed);
        const PreferenceRow& target = row(typing.row);
        typeInto(target.spin, typing.typed);
        dialog->pageList()->setFocus();  // editing ends
        EXPECT_EQ(target.spin->text(), typing.shown);
        EXPECT_EQ(target.slider->value(), typing.slider);
    }

    struct Sliding {
        const char* row;
        int position;
        const char* shown;
    };
    for (const Sliding& sliding : std::vector<Sliding>{{"Adjustment:Image Brightness", 30, "-70"},
                                                       {"Adjustment:Image Gamma", 250, "2.50"},
                                                       {"Adjustment:Threshold Level", 17, "17"}}) {
        row(sliding.row).slider->setValue(sliding.position);
        EXPECT_EQ(row(sliding.row).spin->text(), sliding.shown) << sliding.row;
    }
}

TEST_F(PreferencesTest, GammaTakesAnyTypedValueOverAnyOtherAndTheSliderFollows)
{
    struct Typing {
        int start;  // hundredths
        const char* typed;
        std::vector<int> slider;  // after each keystroke
        const char* shown;
    };
    const std::vector<Typing> cases{
        {100, "2.5", {200, 200, 250}, "2.50"},
        {999, "1.5", {100, 100, 150}, "1.50"},
        {250, "0.75", {1, 1, 70, 75}, "0.75"},
        {100, "9.99", {900, 900, 990, 999}, "9.99"},
        {150, "3", {300}, "3.00"},
    };
    open();
    const PreferenceRow& gamma = row(RowId::Gamma);
    for (const Typing& typing : cases) {
        SCOPED_TRACE(typing.typed);
        gamma.slider->setValue(typing.start);
        gamma.spin->setFocus();
        gamma.spin->selectAll();
        std::vector<int> positions;
        for (const QChar key : QString(typing.typed)) {
            QTest::keyClick(gamma.spin, key.toLatin1());
            positions.push_back(gamma.slider->value());
        }
        EXPECT_EQ(positions, typing.slider);
        dialog->pageList()->setFocus();  // editing ends
        EXPECT_EQ(gamma.spin->text().toStdString(), typing.shown);
        EXPECT_EQ(gamma.slider->value(), typing.slider.back());
    }
}

TEST_F(PreferencesTest, LabelsShowWholeAtLargerFontsAndNothingMovesAtTheDefault)
{
    const QFont original = QApplication::font();
    for (int points : {9, 11, 14}) {
        SCOPED_TRACE(points);
        QFont font = original;
        font.setPointSize(points);
        QApplication::setFont(font);
        open();
        ASSERT_TRUE(dialogOpen());
        int widest = 0;
        for (const QLabel* label : dialog->pages()->findChildren<QLabel*>()) {
            widest = std::max(widest, label->sizeHint().width());
            EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
        }
        // Every control still lies right of its label and inside its page.
        for (const QWidget* control : dialog->pages()->findChildren<QWidget*>()) {
            const QWidget* area = control->parentWidget();
            if (qobject_cast<const QLabel*>(control) || control->x() < 20 || area->x() != 0)
                continue;
            EXPECT_GT(control->x(), 10 + widest) << control->accessibleName().toStdString();
            EXPECT_LE(control->geometry().right(), area->width()) << control->accessibleName().toStdString();
            if (auto* list = qobject_cast<const QComboBox*>(control); list && !list->isEditable()) {
                EXPECT_GE(list->width(), std::min(list->sizeHint().width(), 240))
                    << list->accessibleName().toStdString();
            }
        }
        for (QPushButton* button : {dialog->defaultsButton(), dialog->okButton(), dialog->cancelButton()})
            EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
        if (widest <= 154) {
            EXPECT_EQ(dialog->size(), QSize(600, 350));
        }
        dialog->cancelButton()->click();
        QApplication::processEvents();
    }
    QApplication::setFont(original);
}

TEST_F(PreferencesTest, LoadModesAndWorkerThreadsSayWhatTheyMean)
{
    open();
    QComboBox* loadAs = row(RowId::RawLoadAs).list;
    const std::vector<std::string> starts{"Auto: the camera's embedded preview",
                                          "RGB 8-bit: headerless",
                                          "RGB 16-bit: headerless",
                                          "RGB 24-bit: the full camera image",
                                          "RGB 48-bit (HS): the camera image at half size",
                                          "RGB 48-bit: the full camera image, 16 bits"};
    ASSERT_EQ(loadAs->count(), static_cast<int>(starts.size()));
    for (int item = 0; item < loadAs->count(); ++item) {
        loadAs->setCurrentIndex(item);
        EXPECT_EQ(loadAs->toolTip().toStdString().rfind(starts[static_cast<size_t>(item)], 0), 0u)
            << loadAs->toolTip().toStdString();
        EXPECT_EQ(loadAs->accessibleDescription(), loadAs->toolTip());
        EXPECT_EQ(loadAs->itemData(item, Qt::ToolTipRole).toString(), loadAs->toolTip());
    }
    for (QWidget* widget : row("Advanced:Worker Threads").widgets())
        EXPECT_EQ(widget->toolTip().toStdString(), "0 = one per core");
}

TEST_F(PreferencesTest, OkStoresTheShownValuesWithTheirSpecialCases)
{
    struct Stored {
        std::function<void(PreferencesTest&)> change;
        std::function<std::string(const Settings&)> setting;
        std::string expected;
    };
    const std::vector<Stored> cases{
        {[](PreferencesTest& t) {
             t.row("Output/tiff:Bits Per Pixel").list->setCurrentText("24");
         },
         [](const Settings& s) {
             return std::to_string(s.tiffBpp);
         },
         "24"},
        {[](PreferencesTest& t) {
             t.row("Output/tiff:Bits Per Pixel").list->setCurrentIndex(0);
         },
         [](const Settings& s) {
             return std::to_string(s.tiffBpp);
         },
         "0"},
        {[](PreferencesTest& t) {
             t.typeInto(t.row(RowId::Gamma).spin, "1.5");
         },
         [](const Settings& s) {
             return std::to_string(s.imageGamma) + " " + std::to_string(s.doImageColorCorrection);
         },
         std::to_string(1.5f) + " 1"},
        {[](PreferencesTest& t) {
             t.row(RowId::Invert).check->setChecked(false);
         },
         [](const Settings& s) {
             return std::to_string(s.doImageColorCorrection);
         },
         "0"},
        {[](PreferencesTest& t) {
             t.row(RowId::Text).field->setText("  two\tlines\r\n ");
         },
         [](const Settings& s) {
             return s.wmText;
         },
         "twolines"},
        {[](PreferencesTest& t) {
             t.row(RowId::Mask).field->setText("\t%filename%.%ext% ");
         },
         [](const Settings& s) {
             return s.filenameMask;
         },
         "%filename%.%ext%"},
        {[](PreferencesTest& t) {
             t.row(RowId::RotationBack).field->setText("12345");
         },
         [](const Settings& s) {
             return s.imageRotationBackColor;
         },
         "000000"},
        {[](PreferencesTest& t) {
             t.row(RowId::RotationBack).field->setText("abcdef");
         },
         [](const Settings& s) {
             return s.imageRotationBackColor;
         },
         "ABCDEF"},
        {[](PreferencesTest& t) {
             t.typeInto(t.row(RowId::RawWidth).field, "");
         },
         [](const Settings& s) {
             return std::to_string(s.rawImageWidth);
         },
         "0"},
        {[](PreferencesTest& t) {
             t.row(RowId::CustomTimestamp).date->setDateTime(QDateTime(QDate(2030, 1, 2), QTime(3, 4), Qt::UTC));
         },
         [](const Settings& s) {
             return std::to_string(s.customTimestamp);
         },
         std::to_string(QDateTime(QDate(2030, 1, 2), QTime(3, 4), Qt::UTC).toSecsSinceEpoch())},
        {[](PreferencesTest& t) {
             t.row(RowId::CustomTimestamp).date->setDateTime(QDateTime(QDate(2100, 1, 1), QTime(0, 0), Qt::UTC));
         },
         [](const Settings& s) {
             return std::to_string(s.customTimestamp);
         },
         "2147483647"},
        {[](PreferencesTest& t) {
             t.row(RowId::FontColor).list->setCurrentIndex(2);
         },
         [](const Settings& s) {
             return s.wmFontColor;
         },
         "FF0000"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        records->settings.imageInvert = 1;
        records->settings.imageGamma = 1.0f;
        open();
        ASSERT_TRUE(dialogOpen());
        cases[i].change(*this);
        dialog->okButton()->click();
        EXPECT_EQ(cases[i].setting(records->settings), cases[i].expected);
        QApplication::processEvents();
    }
}

TEST_F(PreferencesTest, OkSavesTheConfigurationFile)
{
    open();
    row("Output/tiff:Compression").list->setCurrentIndex(6);
    row("Advanced:Worker Threads").spin->setValue(3);
    row("Advanced:Existing Files").list->setCurrentIndex(1);
    dialog->okButton()->click();
    Settings read;
    ASSERT_TRUE(loadSettings(read, records->configPath));
    EXPECT_EQ(read.tiffCompression, 6);
    EXPECT_EQ(read.workerThreads, 3);
    EXPECT_EQ(read.existingFiles, 1);
}

TEST_F(PreferencesTest, DefaultsAsksAndOnlyYesStoresAndSaves)
{
    records->settings = unusualSettings(records->settings);
    records->settings.recentOutFolders = "/tmp/a\t/tmp/b";
    const FieldTexts before = fieldTexts(records->settings);

    answerYes = false;
    open();
    dialog->defaultsButton()->click();
    EXPECT_EQ(question, "Reset to Defaults|Are you sure you want to reset all your settings to the default values?");
    EXPECT_TRUE(dialogOpen());
    EXPECT_EQ(fieldTexts(records->settings), before);
    EXPECT_FALSE(isRegularFile(records->configPath));

    // The window shows size 3; picking 2 (the default) here and then
    // Defaults still brings the toolbar to the default size.
    records->windowState.appearanceChange = 2;
    window->applyPreferences();
    ASSERT_EQ(window->mainToolBar()->iconSize(), QSize(48, 48));
    row(RowId::UiSize).list->setCurrentIndex(2);
    answerYes = true;
    dialog->defaultsButton()->click();
    EXPECT_FALSE(dialogOpen());
    Settings defaults;
    applyDefaults(defaults, false);
    EXPECT_EQ(records->settings.jpgQuality, defaults.jpgQuality);
    EXPECT_EQ(records->settings.keepAspectRatio, 1) << "the window's defaults, not the command line's";
    EXPECT_EQ(records->settings.recentOutFolders, "");
    EXPECT_EQ(records->settings.uiSize, defaults.uiSize);
    Settings read;
    ASSERT_TRUE(loadSettings(read, records->configPath));
    EXPECT_EQ(read.tiffCompression, defaults.tiffCompression);
    EXPECT_EQ(read.workerThreads, 0);
    EXPECT_EQ(records->windowState.appearanceChange, 0) << "applied and reset";
    EXPECT_EQ(window->mainToolBar()->iconSize(), QSize(32, 32));
}

TEST_F(PreferencesTest, CancelEscapeAndCloseStoreNothingButKeepAChosenHistoryColour)
{
    const std::vector<std::function<void(PreferencesDialog*)>> closings{
        [](PreferencesDialog* d) {
            d->cancelButton()->click();
        },
        [](PreferencesDialog* d) {
            QTest::keyClick(d, Qt::Key_Escape);
        },
        [](PreferencesDialog* d) {
            d->close();
        },
    };
    for (size_t i = 0; i < closings.size(); ++i) {
        SCOPED_TRACE(i);
        open();
        ASSERT_TRUE(dialogOpen());
        FieldTexts expected = fieldTexts(records->settings);
        expected["Watermark/Font Colors"] = Settings{}.wmFontColors + ",123ABC";  // added once, kept
        chosenColour = QColor(0x12, 0x3A, 0xBC);
        choose(row(RowId::FontColor).button);
        EXPECT_EQ(row(RowId::FontColor).list->currentText(), "Color #123ABC");
        row("Output/jpg:Image Quality").spin->setValue(12);
        row(RowId::UiSize).list->setCurrentIndex(0);
        row(RowId::Resize).check->setChecked(true);
        closings[i](dialog);
        QApplication::processEvents();
        EXPECT_FALSE(dialogOpen());
        EXPECT_EQ(fieldTexts(records->settings), expected);
        EXPECT_FALSE(isRegularFile(records->configPath));
        EXPECT_TRUE(window->isEnabled());
    }
}

TEST_F(PreferencesTest, ColourRowsAndListsNameTheirColours)
{
    struct Naming {
        const char* hex;
        const char* name;
    };
    for (const Naming& naming : std::vector<Naming>{{"123ABC", "Color #123ABC"},
                                                    {"FF0000", "Red"},
                                                    {"804000", "Brown"},
                                                    {"C0C0C0", "Silver"},
                                                    {"8000FF", "Violet"},
                                                    {"000001", "Color #000001"}})
        EXPECT_EQ(colourItemName(colourValueFromHex(naming.hex), *records), naming.name);

    open();
    const PreferenceRow& back = row(RowId::RotationBack);
    row(RowId::Rotation).check->setChecked(true);
    chosenColour = QColor(0x80, 0x40, 0x00);
    choose(back.button);
    EXPECT_EQ(back.field->text(), "804000");
    chosenColour.reset();  // cancelled
    choose(back.button);
    EXPECT_EQ(back.field->text(), "804000");
    EXPECT_EQ(row(RowId::BackColor).list->itemText(0), "Black");
    EXPECT_EQ(row(RowId::BackColor).list->count(), 9);
    dialog->cancelButton()->click();
    QApplication::processEvents();

    records->settings.wmBackColors.clear();  // an empty history gets no empty first entry
    open();
    chosenColour = QColor(0x12, 0x3A, 0xBC);
    choose(row(RowId::BackColor).button);
    EXPECT_EQ(records->settings.wmBackColors, "123ABC");
    EXPECT_EQ(row(RowId::BackColor).list->count(), 1);
}

TEST_F(PreferencesTest, PressingAChooserButtonReturnsBeforeTheChooserOpens)
{
    open();
    chosenColour = QColor(0x12, 0x3A, 0xBC);
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(row(RowId::FontColor).button);
    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(coloursAsked, 0);
    QApplication::processEvents();
    EXPECT_EQ(coloursAsked, 1);
    EXPECT_EQ(row(RowId::FontColor).list->currentText(), "Color #123ABC");
}

TEST_F(PreferencesTest, FontAndImageChoosersFillTheirRows)
{
    open();
    QFont font;
    font.setFamily("Liberation, Mono");
    font.setPointSize(20);
    font.setBold(true);
    font.setItalic(true);
    chosenFont = font;
    choose(row(RowId::Font).button);
    EXPECT_EQ(row(RowId::Font).list->currentText(), "Liberation Mono");
    EXPECT_EQ(records->settings.wmFonts, Settings{}.wmFonts + ",Liberation Mono") << "at once";
    EXPECT_EQ(row(RowId::FontSize).field->text(), "20");
    EXPECT_EQ(row(RowId::FontStyle).list->currentIndex(), 3);

    chosenFile = "/photos/logo.png";
    row(RowId::Image).field->setText("  /photos/ ");
    choose(row(RowId::Image).button);
    EXPECT_EQ(fileChooserTitle, "Select Watermark Image");
    EXPECT_EQ(fileFilters.size(), 5);
    EXPECT_TRUE(fileFilters.front().startsWith("All Supported Files (*.png *.PNG *.bmp"));
    EXPECT_EQ(fileFilters.back(), "All Files (*)");
    EXPECT_EQ(row(RowId::Image).field->text(), chosenFile);
    dialog->okButton()->click();
    EXPECT_EQ(records->settings.wmFont, "Liberation Mono");
    EXPECT_EQ(records->settings.wmImage, "/photos/logo.png");
}

TEST_F(PreferencesTest, OutputFormatOptionsOpensOnTheOutputPageBothTimes)
{
    EXPECT_TRUE(window->action(Command::Preferences)->isEnabled());
    EXPECT_TRUE(window->action(Command::OutputFormatOptions)->isEnabled());
    open(Command::OutputFormatOptions);
    EXPECT_EQ(dialog->pages()->currentIndex(), kOutputPage);
    EXPECT_EQ(dialog->pageTitle()->text(), "Output");
    EXPECT_EQ(QApplication::activeModalWidget(), dialog) << "the main window takes no input meanwhile";
    dialog->pageList()->setCurrentItem(dialog->pageList()->topLevelItem(0));
    dialog->cancelButton()->click();
    QApplication::processEvents();
    open(Command::Preferences);
    EXPECT_EQ(dialog->pages()->currentIndex(), kOutputPage);
}

TEST_F(PreferencesTest, OkAppliesTheLookAndTheFolderHistoryToTheMainWindow)
{
    records->settings.recentOutFolders = "/tmp/a\t/tmp/b\t/tmp/c\t/tmp/d\t/tmp/e";
    window->refillOutputFolderBox();
    ASSERT_EQ(window->outputFolderBox()->count(), 5);
    TempFolder packs;
    writeZip(packs.file("handdrawn.zip"), {{"theme.cfg", themeConfig({"[Theme]", "Name=Hand-drawn"})}});
    records->images.folders = {packs.path()};
    open();
    row(RowId::UiSize).list->setCurrentIndex(4);
    row("Advanced:Out Folders Number").spin->setValue(2);
    EXPECT_EQ(row(RowId::Theme).list->currentText(), "Hand-drawn");
    dialog->okButton()->click();
    QApplication::processEvents();
    EXPECT_EQ(window->mainToolBar()->iconSize(), QSize(64, 64));
    EXPECT_EQ(records->windowState.appearanceChange, 0);
    EXPECT_EQ(window->outputFolderBox()->count(), 2);
    EXPECT_EQ(records->settings.uiTheme, kBuiltInTheme);
}

}  // namespace
}  // namespace quill::test

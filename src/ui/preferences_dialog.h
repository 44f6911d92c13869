// The preferences dialog: a page list, a header with the page's name, nine
// pages of conversion settings and Defaults/OK/Cancel. It edits a copy held
// in its controls; the settings change only on OK or Defaults, except the
// font and colour histories, which take a chosen font or colour at once.
#pragma once

#include "settings/settings.h"
#include "ui/preference_rows.h"

#include <QColor>
#include <QDialog>
#include <QFont>

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QFrame;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeWidget;

namespace quill {

class MainWindow;

/// The platform choosers the dialog opens; each defaults to Qt's dialog, and
/// tests answer them without one.
struct PreferenceChoosers {
    /// The confirmed colour, or nothing when cancelled.
    std::function<std::optional<QColor>(QWidget* parent, const QColor& initial)> colour;
    std::function<std::optional<QFont>(QWidget* parent, const QFont& initial)> font;
    /// The chosen file, or empty.
    std::function<QString(QWidget* parent, const QString& title, const QString& start, const QStringList& filters)>
        openFile;
    /// True for "Yes".
    std::function<bool(QWidget* parent, const QString& title, const QString& text)> askYesNo;
};

class PreferencesDialog : public QDialog {
public:
    PreferencesDialog(MainWindow& main, PreferenceChoosers choosers);

    QTreeWidget* pageList() const { return pageList_; }
    QLabel* pageTitle() const { return title_; }
    QStackedWidget* pages() const { return pages_; }
    QPushButton* defaultsButton() const { return defaultsButton_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    /// The row of a handle; every handle but None names one row of the pages.
    const PreferenceRow* row(RowId id) const;
    /// The row by page, sub-page and label key ("Advanced:Worker Threads",
    /// "Output/jpg:Image Quality", "Frame/1:Opacity"); nullptr when none.
    const PreferenceRow* row(const std::string& path) const;
    /// The sub-page of a selector page ("Input"/"raw", "Frame"/"1"), or nullptr.
    QWidget* subPage(const std::string& page, const std::string& key) const;

    /// The settings as the controls show them now, stored nowhere.
    Settings draftSettings();

    /// OK: stores every control, saves, applies to the main window, closes.
    void accept() override;
    /// Asks, then stores the defaults, saves, applies and closes.
    void resetToDefaults();

private:
    void buildFrame();
    void buildButtons();
    void widenLabelColumn();
    void fitButtons(int extra);
    void buildPage(const PageSpec& page);
    QWidget* buildArea(QWidget* parent, int scrollHeight, QRect place);
    void addRows(const std::vector<RowSpec>& specs, QWidget* area, const std::string& prefix);
    void fill();
    void connectRules();
    void connectDraft();
    void applyRules();
    void showPage(int page);
    void chooseColour(const PreferenceRow& row);
    void chooseHistoryColour(const PreferenceRow& row);
    void chooseFont(const PreferenceRow& row);
    void chooseImage(const PreferenceRow& row);
    void storeAll();
    void finish();

    MainWindow& main_;
    PreferenceChoosers choosers_;
    QTreeWidget* pageList_ = nullptr;
    QLabel* title_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QPushButton* defaultsButton_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    std::deque<RowSpec> outputSpecs_;  // the output sub-pages' rows, built from the format table
    std::deque<PreferenceRow> rows_;
    std::array<const PreferenceRow*, static_cast<size_t>(RowId::Count)> rowsByHandle_{};
    std::map<std::string, const PreferenceRow*> rowsByPath_;
    std::map<std::string, QWidget*> subPages_;  // "Page/key"
    std::vector<QWidget*> areas_;               // the pages' and sub-pages' row areas
    QFrame* header_ = nullptr;
};

/// Opens the dialog over the main window (or raises the open one) on the
/// remembered page, with the keyboard focus on the page list.
PreferencesDialog* openPreferences(MainWindow& main, PreferenceChoosers choosers = {});

}  // namespace quill

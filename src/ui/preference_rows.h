// One row of the preferences dialog: its label and controls, built at the
// row's place from its table entry. Every control carries an accessible name
// made from the label, so keyboard and accessibility tools find it:
// the main control has the label's text without its colon; a slider row's
// slider adds " slider", a unit list " unit", a colour row's text field
// " value" and a "..." button " chooser".
#pragma once

#include "ui/preference_pages.h"

#include <QString>

#include <vector>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;
class QToolButton;
class QWidget;

namespace quill {

struct WindowRecords;

struct PreferenceRow {
    const RowSpec* spec = nullptr;
    QLabel* label = nullptr;
    QComboBox* list = nullptr;  // every list kind
    QCheckBox* check = nullptr;
    QLineEdit* field = nullptr;  // number, text, colour value
    QComboBox* unit = nullptr;
    QSlider* slider = nullptr;
    QSpinBox* spin = nullptr;
    QToolButton* button = nullptr;  // colour swatch or "..."
    QDateTimeEdit* date = nullptr;

    std::vector<QWidget*> widgets() const;
    /// Enabling and hiding cover the label as well as the controls.
    void setEnabled(bool enabled) const;
    void setVisible(bool visible) const;
};

/// Row geometry: rows 30 pixels apart from y = 10; label at x = 10,
/// control at x = 170.
inline constexpr int kRowTop = 10;
inline constexpr int kRowStep = 30;

/// Builds the row's widgets in `parent` at row `index` (from 0). List items
/// are added (language texts of group "Preferences"); other lists (themes,
/// formats, depths, fonts, colours) are filled by the dialog.
PreferenceRow buildRow(const RowSpec& spec, int index, QWidget* parent, WindowRecords& records);

/// The label's text without its final colon.
QString accessibleLabel(const QString& labelText);

}  // namespace quill

#include "ui/preference_rows.h"

#include "ui/colour_items.h"
#include "ui/number_spins.h"
#include "ui/window_records.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QTimeZone>
#include <QToolButton>

#include <algorithm>

namespace quill {
namespace {

constexpr int kLabelX = 10;
constexpr int kControlX = 170;
constexpr int kSecondX = 340;   // unit list, spin
constexpr int kChooserX = 389;  // "..." button
constexpr int kColourTextX = 220;
// Linux fonts need taller fields than the 20-21 pixels the rows were drawn
// for; a control grows up to this height, centred on its row.
constexpr int kMostControlHeight = 26;

void place(QWidget* widget, int x, int rowTop, int width, int height)
{
    const int grown = std::clamp(widget->sizeHint().height(), height, kMostControlHeight);
    widget->setGeometry(x, rowTop + (height - grown) / 2, width, grown);
}

bool hasChooser(const RowSpec& spec)
{
    return spec.chooser || spec.kind == RowKind::FontList || spec.kind == RowKind::ColourHistory;
}

QComboBox* newList(const RowSpec& spec, QWidget* parent, WindowRecords& records)
{
    auto* list = new QComboBox(parent);
    for (size_t i = 0; i < spec.items.size(); ++i) {
        const QVariant value = i < spec.values.size() ? QVariant(spec.values[i]) : QVariant(static_cast<int>(i));
        list->addItem(records.text("Preferences", spec.items[i]), value);
    }
    return list;
}

QComboBox* newUnitList(const RowSpec& spec, QWidget* parent, WindowRecords& records)
{
    auto* unit = new QComboBox(parent);
    for (std::string_view item : spec.items)
        unit->addItem(records.text("Preferences", item));
    return unit;
}

QLineEdit* newDigitsField(QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    // Digits only; ten digits already reach past the stored 32-bit range.
    field->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,10}"), field));
    return field;
}

void buildControls(PreferenceRow& row, const RowSpec& spec, int y, QWidget* parent, WindowRecords& records)
{
    const int listWidth = hasChooser(spec) ? 214 : 240;
    switch (spec.kind) {
    case RowKind::List:
    case RowKind::Depth:
    case RowKind::FontList:
    case RowKind::ColourHistory:
    case RowKind::Theme:
    case RowKind::Language:
    case RowKind::InputFormat:
    case RowKind::OutputFormat:
        row.list = spec.kind == RowKind::List ? newList(spec, parent, records) : new QComboBox(parent);
        if (spec.kind == RowKind::FontList)
            row.list->setEditable(true);  // its text is set to the font even when not listed
        place(row.list, kControlX, y, listWidth, 21);
        break;
    case RowKind::Check:
        row.check = new QCheckBox(parent);
        row.check->setGeometry(kControlX, y, 240, 20);
        break;
    case RowKind::Number:
        row.field = newDigitsField(parent);
        row.unit = newUnitList(spec, parent, records);
        {
            // A larger font would clip "pixels" in 70 pixels: the unit list
            // then takes the room it needs from the field before it.
            const int grow = std::clamp(row.unit->sizeHint().width() - 70, 0, 80);
            place(row.field, kControlX, y, 160 - grow, 20);
            place(row.unit, kSecondX - grow, y, 70 + grow, 21);
        }
        break;
    case RowKind::SliderSpin:
    case RowKind::Gamma:
        row.slider = new QSlider(Qt::Horizontal, parent);
        row.slider->setRange(spec.min + spec.offset, spec.max + spec.offset);
        row.slider->setGeometry(kControlX, y, 170, 20);
        if (spec.kind == RowKind::Gamma)
            row.spin = new GammaSpin(parent);
        else
            row.spin = new ClampedSpin(spec.min, spec.max, parent);
        place(row.spin, kSecondX, y, 70, 20);
        linkSliderAndSpin(row.slider, row.spin, spec.offset);
        break;
    case RowKind::Colour:
        row.button = new QToolButton(parent);
        row.button->setIconSize(QSize(34, 12));
        row.button->setGeometry(kControlX, y - 1, 44, 22);
        row.field = new QLineEdit(parent);
        row.field->setReadOnly(true);
        place(row.field, kColourTextX, y, 190, 20);
        break;
    case RowKind::Text:
        row.field = new QLineEdit(parent);
        place(row.field, kControlX, y, listWidth, 20);
        break;
    case RowKind::Date:
        row.date = new QDateTimeEdit(parent);
        row.date->setDisplayFormat("yyyy/MM/dd HH:mm");
        // The stored date is 32-bit seconds on the local scale: the field
        // offers only dates that fit, so none wraps around when stored.
        row.date->setTimeSpec(Qt::UTC);
        row.date->setDateTimeRange(QDateTime::fromSecsSinceEpoch(0, Qt::UTC),
                                   QDateTime::fromSecsSinceEpoch(INT32_MAX, Qt::UTC));
        place(row.date, kControlX, y, 240, 21);
        break;
    }
    if (hasChooser(spec)) {
        row.button = new QToolButton(parent);
        row.button->setText("...");
        row.button->setGeometry(kChooserX, y - 1, 22, 22);
    }
}

void nameControls(const PreferenceRow& row)
{
    const QString name = accessibleLabel(row.label->text());
    QWidget* main = row.list;
    for (QWidget* candidate : std::initializer_list<QWidget*>{row.check, row.spin, row.date})
        main = main != nullptr ? main : candidate;
    if (row.spec->kind == RowKind::Colour) {
        row.button->setAccessibleName(name);
        row.field->setAccessibleName(name + " value");
        row.label->setBuddy(row.button);
        return;
    }
    if (main == nullptr)
        main = row.field;
    main->setAccessibleName(name);
    row.label->setBuddy(main);
    if (row.field != nullptr && row.field != main)
        row.field->setAccessibleName(name);
    if (row.slider != nullptr)
        row.slider->setAccessibleName(name + " slider");
    if (row.unit != nullptr)
        row.unit->setAccessibleName(name + " unit");
    if (row.button != nullptr)
        row.button->setAccessibleName(name + " chooser");
}

void setTip(QWidget* widget, const QString& tip)
{
    widget->setToolTip(tip);
    widget->setAccessibleDescription(tip);
}

// Tooltips, also read by screen readers as the controls' descriptions.
void addTips(const PreferenceRow& row, WindowRecords& records)
{
    const RowSpec& spec = *row.spec;
    if (!spec.tip.empty())
        for (QWidget* widget : row.widgets())
            setTip(widget, records.text("Preferences", spec.tip));
    if (spec.itemTips.empty() || row.list == nullptr)
        return;
    for (int item = 0; item < row.list->count() && static_cast<size_t>(item) < spec.itemTips.size(); ++item)
        row.list->setItemData(item, records.text("Preferences", spec.itemTips[static_cast<size_t>(item)]),
                              Qt::ToolTipRole);
    QComboBox* list = row.list;
    auto follow = [list] {
        setTip(list, list->currentData(Qt::ToolTipRole).toString());
    };
    QObject::connect(list, &QComboBox::currentIndexChanged, list, follow);
    follow();
}

}  // namespace

std::vector<QWidget*> PreferenceRow::widgets() const
{
    std::vector<QWidget*> all;
    for (QWidget* widget : std::initializer_list<QWidget*>{label, list, check, field, unit, slider, spin, button, date})
        if (widget != nullptr)
            all.push_back(widget);
    return all;
}

void PreferenceRow::setEnabled(bool enabled) const
{
    for (QWidget* widget : widgets())
        widget->setEnabled(enabled);
}

void PreferenceRow::setVisible(bool visible) const
{
    for (QWidget* widget : widgets())
        widget->setVisible(visible);
}

QString accessibleLabel(const QString& labelText)
{
    QString text = labelText;
    if (text.endsWith(':'))
        text.chop(1);
    return text;
}

PreferenceRow buildRow(const RowSpec& spec, int index, QWidget* parent, WindowRecords& records)
{
    PreferenceRow row;
    row.spec = &spec;
    const int y = kRowTop + index * kRowStep;
    row.label = new QLabel(records.text("Preferences", spec.label), parent);
    row.label->setGeometry(kLabelX, y + 3, 160, 20);
    buildControls(row, spec, y, parent, records);
    nameControls(row);
    addTips(row, records);
    return row;
}

}  // namespace quill

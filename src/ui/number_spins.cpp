#include "ui/number_spins.h"

#include "settings/preference_file.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace quill {

ClampedSpin::ClampedSpin(int minimum, int maximum, QWidget* parent) : QSpinBox(parent)
{
    setRange(minimum, maximum);
    // Qt only reads the text; the field is also rewritten with the clamped number.
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        QString typed = text;
        int position = 0;
        if (validate(typed, position) != QValidator::Acceptable)
            return;
        const int clamped = valueFromText(text);
        const QString shown = textFromValue(clamped);
        if (shown == text)
            return;
        setValue(clamped);
        lineEdit()->setText(shown);
    });
}

QValidator::State ClampedSpin::validate(QString& text, int&) const
{
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]{1,9}$"));
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed == "-" || trimmed == "+")
        return QValidator::Intermediate;
    return number.match(trimmed).hasMatch() ? QValidator::Acceptable : QValidator::Invalid;
}

int ClampedSpin::valueFromText(const QString& text) const
{
    return std::clamp(static_cast<int>(integerFromText(text.trimmed().toStdString())), minimum(), maximum());
}

GammaSpin::GammaSpin(QWidget* parent) : QSpinBox(parent)
{
    setRange(1, 999);
    connect(this, &QAbstractSpinBox::editingFinished, this, [this] {
        lineEdit()->setText(textFromValue(value()));
    });
}

QValidator::State GammaSpin::validate(QString& text, int&) const
{
    static const QRegularExpression number(QStringLiteral("^[0-9]{0,3}(\\.[0-9]{0,4})?$"));
    const QString trimmed = text.trimmed();
    if (!number.match(trimmed).hasMatch())
        return QValidator::Invalid;
    return trimmed.contains(QRegularExpression("[0-9]")) ? QValidator::Acceptable : QValidator::Intermediate;
}

int GammaSpin::valueFromText(const QString& text) const
{
    const double hundredths = std::round(double(floatFromText(text.trimmed().toStdString())) * 100.0);
    return static_cast<int>(std::clamp(hundredths, 1.0, 999.0));
}

QString GammaSpin::textFromValue(int value) const
{
    return QString::number(value / 100.0, 'f', 2);
}

void linkSliderAndSpin(QSlider* slider, QSpinBox* spin, int offset)
{
    // The slider writes back only a value the spin does not already hold:
    // setValue rewrites the text even when the value is unchanged, which would
    // turn a half-typed "2." back into "2.00" under the cursor.
    QObject::connect(slider, &QSlider::valueChanged, spin, [spin, offset](int position) {
        if (spin->value() != position - offset)
            spin->setValue(position - offset);
    });
    QObject::connect(spin, &QSpinBox::valueChanged, slider, [slider, offset](int value) {
        slider->setValue(value + offset);
    });
}

}  // namespace quill

// The spin fields of the preferences dialog's slider rows. Any typed number
// is taken and clamped to the row's range at once (150 in a 1..100 field
// becomes 100), instead of Qt's refusal of the keystroke; the gamma field
// counts hundredths and shows them as a number with two decimals.
#pragma once

#include <QSpinBox>

class QSlider;

namespace quill {

class ClampedSpin : public QSpinBox {
public:
    ClampedSpin(int minimum, int maximum, QWidget* parent);

protected:
    QValidator::State validate(QString& text, int& position) const override;
    int valueFromText(const QString& text) const override;
};

/// Position 1..999 = gamma 0.01..9.99. The slider follows every keystroke;
/// the text is rewritten with two decimals when editing ends, so typing
/// "1.5" is not interrupted after the "1".
class GammaSpin : public QSpinBox {
public:
    explicit GammaSpin(QWidget* parent);

protected:
    QValidator::State validate(QString& text, int& position) const override;
    int valueFromText(const QString& text) const override;
    QString textFromValue(int value) const override;
};

/// Keeps a slider and its spin in step: slider position = spin value + offset.
void linkSliderAndSpin(QSlider* slider, QSpinBox* spin, int offset);

}  // namespace quill

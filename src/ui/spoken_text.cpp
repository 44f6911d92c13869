#include "ui/spoken_text.h"

#include <QAccessible>
#include <QLabel>

namespace quill {

void setSpokenText(QLabel* label, const QString& text)
{
    if (label->text() == text)
        return;
    label->setText(text);
    QAccessibleEvent changed(label, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

}  // namespace quill

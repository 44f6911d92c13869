#include "ui/small_dialogs.h"

#include "app/version.h"
#include "ui/images.h"
#include "ui/main_window.h"
#include "ui/main_window_busy.h"

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>

namespace quill {
namespace {

constexpr size_t kSearchTermCharacters = 12;

QString text(std::string_view value)
{
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

QDialog* smallWindow(MainWindow& window, const char* name, const QString& title, int width, int height)
{
    auto* dialog = new QDialog(&window);
    dialog->setObjectName(name);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(title);
    dialog->setFixedSize(width, height);
    dialog->setWindowModality(Qt::WindowModal);
    // Centred on the main window.
    dialog->move(window.geometry().center() - QPoint(width / 2, height / 2));
    return dialog;
}

QLabel* label(QDialog* dialog, const QString& caption, const QRect& place, Qt::Alignment alignment = Qt::AlignLeft)
{
    auto* item = new QLabel(caption, dialog);
    item->setGeometry(place);
    item->setAlignment(alignment | Qt::AlignVCenter);
    return item;
}

}  // namespace

std::string converterSearchTerm(const QString& typed)
{
    const QString first = typed.toLower().left(static_cast<qsizetype>(kSearchTermCharacters));
    std::string term;
    for (QChar c : first) {
        const char16_t u = c.unicode();
        if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z'))
            term += static_cast<char>(u);
    }
    return term;
}

std::string converterSearchAddress(const std::string& from, const std::string& to)
{
    return std::string(kMakerSiteRoot) + "/find/" + from + "-" + to + "/";
}

void showCustomConverter(MainWindow& window)
{
    WindowRecords& records = window.records();
    QDialog* dialog = smallWindow(window, "customConverter", records.text("Custom-Converter", "Title"), 370, 60);
    QLabel* fromLabel = label(dialog, records.text("Custom-Converter", "From"), {10, 23, 40, 20});
    auto* from = new QLineEdit(dialog);
    from->setObjectName("fromField");
    from->setGeometry(50, 20, 80, 20);
    fromLabel->setBuddy(from);
    QLabel* toLabel = label(dialog, records.text("Custom-Converter", "To"), {150, 23, 30, 20});
    auto* to = new QLineEdit(dialog);
    to->setObjectName("toField");
    to->setGeometry(180, 20, 80, 20);
    toLabel->setBuddy(to);
    for (QLineEdit* field : {from, to})
        field->setAccessibleName(field == from ? fromLabel->text().remove(':') : toLabel->text().remove(':'));
    auto* search = new QPushButton(records.text("Custom-Converter", "Search"), dialog);
    search->setObjectName("searchButton");
    search->setGeometry(280, 18, 80, 25);
    search->setDefault(true);
    QObject::connect(search, &QPushButton::clicked, dialog, [dialog, from, to, &window] {
        const std::string fromTerm = converterSearchTerm(from->text());
        const std::string toTerm = converterSearchTerm(to->text());
        WindowRecords& texts = window.records();
        if (fromTerm.empty() || toTerm.empty()) {
            QMessageBox::warning(dialog, texts.text("Msg", "Warning"), texts.text("Msg", "Empty extensions"));
            return;
        }
        dialog->hide();
        window.openAddress(QUrl(QString::fromStdString(converterSearchAddress(fromTerm, toTerm))));
        dialog->close();
    });
    keepMainWindowBusyWhileShown(window, dialog);
    dialog->show();
    from->setFocus();
}

void showAbout(MainWindow& window)
{
    WindowRecords& records = window.records();
    QDialog* dialog = smallWindow(window, "about", records.text("About", "Title"), 360, 240);
    auto* banner = new QLabel(dialog);
    banner->setGeometry(0, 0, 360, 40);
    banner->setPixmap(aboutBanner());
    banner->setAccessibleName(QString::fromStdString(titleString()));
    auto* frame = new QFrame(dialog);
    frame->setGeometry(0, 40, 360, 150);
    frame->setFrameShape(QFrame::StyledPanel);
    label(dialog, QString::fromStdString(titleString()), {20, 50, 320, 20}, Qt::AlignHCenter)
        ->setObjectName("titleLine");
    label(dialog, text(kMakerNotice), {20, 70, 320, 20}, Qt::AlignHCenter)->setObjectName("noticeLine");
    label(dialog, records.text("About", "Website"), {80, 100, 60, 20});
    label(dialog, records.text("About", "Email"), {80, 120, 50, 20});
    // Links in the palette's link colour, opened through the window's hook.
    auto link = [dialog, &window](const QString& shown, const QString& address, const char* name, int y) {
        QLabel* item =
            label(dialog, QString("<a href=\"%1\">%2</a>").arg(address, shown.toHtmlEscaped()), {140, y, 215, 20});
        item->setObjectName(name);
        item->setTextFormat(Qt::RichText);
        item->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        item->setAccessibleName(shown);
        QObject::connect(item, &QLabel::linkActivated, dialog, [&window](const QString& target) {
            window.openAddress(QUrl(target));
        });
    };
    // Shown without its scheme, so the whole address fits the link's place.
    QString shownAddress = text(kMakerWebAddress);
    shownAddress.remove(QRegularExpression("^https?://"));
    link(shownAddress, text(kMakerWebAddress), "webLink", 100);
    link(text(kSupportAddress), "mailto:" + text(kSupportAddress), "emailLink", 120);
    auto* ok = new QPushButton(records.text("Dialog", "OK"), dialog);
    ok->setObjectName("okButton");
    ok->setGeometry(80, 200, 80, 25);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::close);
    keepMainWindowBusyWhileShown(window, dialog);
    dialog->show();
    ok->setFocus();
}

}  // namespace quill

#include "ui/input_chooser.h"

#include "ui/images.h"
#include "ui/main_window.h"
#include "ui/main_window_busy.h"
#include "ui/theme_packs.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace quill {
namespace {

QPushButton* bigButton(QDialog* dialog, const QIcon& icon, const QString& caption, int x)
{
    auto* button = new QPushButton(dialog);
    button->setIcon(icon);
    button->setIconSize(QSize(64, 64));
    button->setGeometry(x, 30, 80, 80);
    button->setAccessibleName(caption);
    button->setToolTip(caption);
    auto* label = new QLabel(caption, dialog);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    label->setGeometry(x - 20, 120, 120, 30);
    return button;
}

}  // namespace

void showInputChooser(MainWindow& window)
{
    WindowRecords& records = window.records();
    auto* dialog = new QDialog(&window);
    dialog->setObjectName("inputChooser");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(records.text("Menu", "Select Input Files"));
    dialog->setFixedSize(270, 160);
    dialog->setWindowModality(Qt::WindowModal);
    QPushButton* files =
        bigButton(dialog, buttonIcon(records.images, "InFiles"), records.text("Menu", "Select Input File"), 30);
    files->setObjectName("filesButton");
    QPushButton* folder =
        bigButton(dialog, buttonIcon(records.images, "InFolder"), records.text("Menu", "Select Input Folder"), 160);
    folder->setObjectName("folderButton");
    // The chooser hides first so the file dialog stands alone over the main
    // window; the command runs once the button's click has returned.
    auto choose = [dialog, &window](Command command) {
        dialog->hide();
        QTimer::singleShot(0, &window, [dialog, &window, command] {
            dialog->close();
            window.runCommand(command);
            window.activateWindow();
        });
    };
    QObject::connect(files, &QPushButton::clicked, dialog, [choose] {
        choose(Command::ChooseInputFiles);
    });
    QObject::connect(folder, &QPushButton::clicked, dialog, [choose] {
        choose(Command::ChooseInputFolder);
    });
    // Centred on the main window.
    dialog->move(window.geometry().center() - QPoint(135, 80));
    keepMainWindowBusyWhileShown(window, dialog);
    dialog->show();
    files->setFocus();
}

}  // namespace quill

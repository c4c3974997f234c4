#include "app/QtUserPrompts.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>

#include "app/AppTexts.h"

namespace tarnwick {

void QtUserPrompts::ShowMessage(const QString& text) {
    // Titled with the program's name, as every notice of the tool is.
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    owner.data());
    box.exec();
}

std::optional<QString> QtUserPrompts::ChooseFileToOpen(const QString& filter) {
    const QString path = QFileDialog::getOpenFileName(
        owner.data(), QString::fromUtf8(texts::kOpenTitle), QString(), filter);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

int QtUserPrompts::RunModal(QDialog& dialog) {
    return dialog.exec();
}

QAction* QtUserPrompts::ChooseFromMenu(QMenu& menu, const QPoint& globalPos) {
    return menu.exec(globalPos);
}

}  // namespace tarnwick

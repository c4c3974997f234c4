#include "app/QtUserPrompts.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>

#include "app/AppTexts.h"
#include "app/UiLanguage.h"

namespace tarnwick {

void QtUserPrompts::ShowMessage(const QString& text) {
    // Titled with the program's name, as every notice of the tool is.
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    owner.data());
    box.exec();
}

std::optional<QString> QtUserPrompts::ChooseFileToOpen(const QString& filter) {
    const QString path =
        QFileDialog::getOpenFileName(owner.data(), Ui(texts::kOpenTitle), QString(), filter);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

std::optional<QString> QtUserPrompts::ChooseNameToOpen(const QString& filter) {
    QFileDialog dialog(owner.data(), Ui(texts::kOpenTitle), QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);  // a name that does not exist is taken as well
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtUserPrompts::ChooseFileToSave(const QString& filter) {
    // Qt's save dialog asks before it lets an existing file be chosen.
    const QString path =
        QFileDialog::getSaveFileName(owner.data(), Ui(texts::kSaveTitle), QString(), filter);
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

#pragma once

#include <QPointer>
#include <QWidget>

#include "app/UserPrompts.h"

namespace tarnwick {

// The prompts as Qt's modal message boxes, file dialogs and menus, owned by the main window
// once it exists (centred on it, blocking it), by nobody before.
class QtUserPrompts final : public UserPrompts {
  public:
    void SetOwner(QWidget* window) { owner = window; }

    void ShowMessage(const QString& text) override;
    std::optional<QString> ChooseFileToOpen(const QString& filter) override;
    std::optional<QString> ChooseNameToOpen(const QString& filter) override;
    std::optional<QString> ChooseFileToSave(const QString& filter) override;
    int RunModal(QDialog& dialog) override;
    QAction* ChooseFromMenu(QMenu& menu, const QPoint& globalPos) override;

  private:
    QPointer<QWidget> owner;
};

}  // namespace tarnwick

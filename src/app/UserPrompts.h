#pragma once

#include <QPoint>
#include <QString>
#include <optional>

class QAction;
class QDialog;
class QMenu;

namespace tarnwick {

// Everything the dialog asks a person in a modal way: notices, the open- and save-file
// dialogs, the About box and the context menu. Behind one interface so tests answer them without a
// real modal loop. Dialog thread only; every call blocks until the person answered. Never fails: a
// prompt that is dismissed counts as cancelled.
class UserPrompts {
  public:
    virtual ~UserPrompts() = default;

    // A notice with a single OK button.
    virtual void ShowMessage(const QString& text) = 0;
    // An existing file chosen in an open dialog with the given filter; none when cancelled.
    virtual std::optional<QString> ChooseFileToOpen(const QString& filter) = 0;
    // A name chosen in an open dialog with the given filter, where the person may also type a
    // name that does not exist; none when cancelled.
    virtual std::optional<QString> ChooseNameToOpen(const QString& filter) = 0;
    // A name chosen in a save dialog with the given filter (entries separated by ";;"); the
    // dialog has asked before an existing file is replaced. None when cancelled.
    virtual std::optional<QString> ChooseFileToSave(const QString& filter) = 0;
    // Runs the dialog modally and returns its result.
    virtual int RunModal(QDialog& dialog) = 0;
    // Pops the menu up at the global position; the action chosen, nullptr for none.
    virtual QAction* ChooseFromMenu(QMenu& menu, const QPoint& globalPos) = 0;
};

}  // namespace tarnwick

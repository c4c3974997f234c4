#pragma once

#include <QFont>

#include "app/DialogControls.h"
#include "app/DialogTemplate.h"

class QDialog;

namespace tarnwick {

// Builds a dialog from its template: the dialog's font, its fixed client size and every
// control with its id, kind, text, state, and position and size converted from dialog units.
// Dialog thread only; never fails (a font that is not installed falls back to a substitute).
class DialogLayout {
  public:
    // The template's font. Its Windows family is not installed here, so it is mapped to an
    // installed CJK font; the pixel size is the one the points give at 96 dpi, so that the
    // dialog units, and with them the layout, do not change with the screen.
    static QFont DialogFont(const DialogTemplate& dialogTemplate);

    static DialogControls Build(QDialog& dialog, const DialogTemplate& dialogTemplate);

    // The object name a control with this id gets, so tests and tools can find it.
    static QString ObjectName(int id);
};

}  // namespace tarnwick

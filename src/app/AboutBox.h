#pragma once

#include <QDialog>

#include "app/DialogControls.h"

namespace tarnwick {

// The About box: icon 128, the tool's name and version, a notice and an OK button that
// closes it (Enter too: it is the default button). Dialog thread only.
class AboutBox final : public QDialog {
    Q_OBJECT

  public:
    explicit AboutBox(QWidget* parent = nullptr);

    const DialogControls& Controls() const { return controls; }

  private:
    DialogControls controls;
};

}  // namespace tarnwick

#include "app/AboutBox.h"

#include <QPushButton>

#include "app/AppIcons.h"
#include "app/DialogLayout.h"

namespace tarnwick {

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent), controls(DialogLayout::Build(*this, AboutDialogTemplate())) {
    setWindowIcon(AppIcons::Icon(kIconApplication));
    if (auto* ok = controls.Get<QPushButton>(ids::kOk)) {
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
}

}  // namespace tarnwick

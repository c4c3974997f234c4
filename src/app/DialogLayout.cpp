#include "app/DialogLayout.h"

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/AppIcons.h"
#include "app/UiLanguage.h"
#include "widgets/GradientProgressBar.h"

namespace tarnwick {

namespace {

// Installed CJK fonts in order of preference; fonts-wqy-microhei is the one the setup installs.
const QStringList kSubstitutes{QStringLiteral("WenQuanYi Micro Hei"),
                               QStringLiteral("Noto Sans CJK SC"),
                               QStringLiteral("Droid Sans Fallback")};

void SubstituteFontOnce(const QString& family) {
    if (QFont::substitutes(family).isEmpty()) {
        QFont::insertSubstitutions(family, kSubstitutes);
    }
}

QWidget* Create(const ControlTemplate& control, QWidget* parent) {
    const QString text = Ui(control.text);
    switch (control.kind) {
        case ControlKind::Label: {
            auto* label = new QLabel(text, parent);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setTextFormat(Qt::PlainText);
            return label;
        }
        case ControlKind::Icon: {
            auto* label = new QLabel(parent);
            if (control.icon != 0) {
                label->setPixmap(AppIcons::Pixmap(control.icon));
            }
            return label;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(text, parent);
            edit->setFrame(control.border);
            edit->setReadOnly(control.readOnly);
            return edit;
        }
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            auto* button = new QPushButton(text, parent);
            const bool isDefault = control.kind == ControlKind::DefPushButton;
            // Only the default button may answer Enter; every other one waits for a click or
            // the space bar.
            button->setAutoDefault(isDefault);
            button->setDefault(isDefault);
            return button;
        }
        case ControlKind::GroupBox:
            return new QGroupBox(text, parent);
        case ControlKind::CheckBox:
            return new QCheckBox(text, parent);
        case ControlKind::ListBox: {
            auto* list = new QListWidget(parent);
            list->setSelectionMode(QAbstractItemView::NoSelection);
            list->setFrameShape(control.border ? QFrame::StyledPanel : QFrame::NoFrame);
            list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            return list;
        }
        case ControlKind::Progress:
            return new GradientProgressBar(parent);
    }
    return new QWidget(parent);
}

}  // namespace

QFont DialogLayout::DialogFont(const DialogTemplate& dialogTemplate) {
    const QString family = QString::fromUtf8(dialogTemplate.fontFamily);
    SubstituteFontOnce(family);
    QFont font(family);
    font.setPixelSize(DialogUnits::MulDiv(dialogTemplate.fontPoints, 96, 72));
    return font;
}

QString DialogLayout::ObjectName(int id) {
    return id == ids::kStatic ? QStringLiteral("static") : QStringLiteral("control%1").arg(id);
}

DialogControls DialogLayout::Build(QDialog& dialog, const DialogTemplate& dialogTemplate) {
    const QFont font = DialogFont(dialogTemplate);
    dialog.setFont(font);
    const DialogUnits units = DialogUnits::ForFont(font);
    DialogControls controls(units);

    dialog.setWindowTitle(Ui(dialogTemplate.caption));
    dialog.setFixedSize(units.ToPixels(dialogTemplate.width, dialogTemplate.height));
    dialog.setSizeGripEnabled(false);

    QWidget* previousTabStop = nullptr;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = Create(control, &dialog);
        widget->setObjectName(ObjectName(control.id));
        QRect geometry = units.ToPixels(control.x, control.y, control.width, control.height);
        if (control.kind == ControlKind::Icon) {
            // An icon static takes the size of its icon, whatever the template says.
            geometry.setSize(QSize(AppIcons::kSize, AppIcons::kSize));
        }
        widget->setGeometry(geometry);
        widget->setEnabled(control.enabled);
        widget->setVisible(control.visible);
        widget->setFocusPolicy(control.tabStop ? Qt::StrongFocus : Qt::NoFocus);
        if (control.tabStop) {
            if (previousTabStop != nullptr) {
                QWidget::setTabOrder(previousTabStop, widget);
            }
            previousTabStop = widget;
        }
        controls.Add(control.id, widget);
    }
    return controls;
}

}  // namespace tarnwick

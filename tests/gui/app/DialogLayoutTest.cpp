#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "AppHarness.h"
#include "app/AboutBox.h"
#include "app/AppIcons.h"
#include "app/DialogLayout.h"
#include "app/DialogUnits.h"
#include "widgets/GradientProgressBar.h"

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

// The base units as Windows derives them from a dialog font, worked out here on its own.
DialogUnits UnitsOf(const QFont& font) {
    const QFontMetrics m(font);
    int width = 0;
    for (char c = 'A'; c <= 'Z'; ++c) {
        width += m.horizontalAdvance(QChar(c));
        width += m.horizontalAdvance(QChar(c - 'A' + 'a'));
    }
    return DialogUnits((width / 26 + 1) / 2, m.height());
}

bool HasKind(QWidget* widget, ControlKind kind) {
    switch (kind) {
        case ControlKind::Label:
        case ControlKind::Icon:
            return qobject_cast<QLabel*>(widget) != nullptr;
        case ControlKind::Edit:
            return qobject_cast<QLineEdit*>(widget) != nullptr;
        case ControlKind::PushButton:
        case ControlKind::DefPushButton:
            return qobject_cast<QPushButton*>(widget) != nullptr;
        case ControlKind::GroupBox:
            return qobject_cast<QGroupBox*>(widget) != nullptr;
        case ControlKind::CheckBox:
            return qobject_cast<QCheckBox*>(widget) != nullptr;
        case ControlKind::ListBox:
            return qobject_cast<QListWidget*>(widget) != nullptr;
        case ControlKind::Progress:
            return qobject_cast<GradientProgressBar*>(widget) != nullptr;
    }
    return false;
}

QString TextOf(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return edit->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text();
    }
    if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        return group->title();
    }
    return QStringLiteral("<no text>");
}

// Every control where, as what and how its template says, in template order.
void CheckAgainstTemplate(QDialog& dialog, const DialogControls& controls,
                          const DialogTemplate& tpl) {
    const DialogUnits units = UnitsOf(dialog.font());
    QCOMPARE(dialog.minimumSize(), units.ToPixels(tpl.width, tpl.height));
    QCOMPARE(dialog.maximumSize(), dialog.minimumSize());
    QCOMPARE(dialog.windowTitle(), QString::fromUtf8(tpl.caption));
    QCOMPARE(controls.All().size(), tpl.controls.size());
    for (std::size_t i = 0; i < tpl.controls.size(); ++i) {
        const ControlTemplate& t = tpl.controls[i];
        const auto& [id, widget] = controls.All()[i];
        const QByteArray where = QByteArray::number(static_cast<int>(i)) + ": id " +
                                 QByteArray::number(t.id) + " " + t.text;
        QVERIFY2(widget->parent() == &dialog, where);
        QCOMPARE(id, t.id);
        QVERIFY2(HasKind(widget, t.kind), where);
        QCOMPARE(widget->isHidden(), !t.visible);
        QCOMPARE(widget->isEnabled(), t.enabled);
        QCOMPARE(widget->focusPolicy() != Qt::NoFocus, t.tabStop);
        QCOMPARE(widget->pos(),
                 QPoint((t.x * units.baseX() + 2) / 4, (t.y * units.baseY() + 4) / 8));
        if (t.kind == ControlKind::Icon) {
            QCOMPARE(widget->size(), QSize(32, 32));
        } else {
            QCOMPARE(widget->size(), units.ToPixels(t.width, t.height));
        }
        // Edits show data (the length 0 from the start), not template text.
        if (t.kind != ControlKind::Icon && t.kind != ControlKind::ListBox &&
            t.kind != ControlKind::Progress && t.kind != ControlKind::Edit) {
            QCOMPARE(TextOf(widget), QString::fromUtf8(t.text));
        }
    }
}

}  // namespace

class DialogLayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void dialogUnitsRoundToTheNearestPixel_data() {
        QTest::addColumn<int>("units");
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("divisor");
        QTest::addColumn<int>("pixels");
        QTest::newRow("424 x 6 / 4") << 424 << 6 << 4 << 636;
        QTest::newRow("243 x 13 / 8 rounds up") << 243 << 13 << 8 << 395;
        QTest::newRow("15 x 7 / 4 rounds down") << 15 << 7 << 4 << 26;
        QTest::newRow("1 x 2 / 4: a half goes up") << 1 << 2 << 4 << 1;
        QTest::newRow("-1 x 2 / 4: and away from zero") << -1 << 2 << 4 << -1;
        QTest::newRow("no overflow in the product") << 40000 << 60000 << 8 << 300000000;
    }
    void dialogUnitsRoundToTheNearestPixel() {
        QFETCH(int, units);
        QFETCH(int, base);
        QFETCH(int, divisor);
        QFETCH(int, pixels);
        QCOMPARE(DialogUnits::MulDiv(units, base, divisor), pixels);
        const DialogUnits dialogUnits(base, base);
        QCOMPARE(divisor == 4 ? dialogUnits.ToPixelsX(units) : dialogUnits.ToPixelsY(units),
                 pixels);
    }

    void theDialogFontRendersChineseWithStableMetrics() {
        const QFont font = DialogLayout::DialogFont(MainDialogTemplate());
        QCOMPARE(QFontInfo(font).family(), QStringLiteral("WenQuanYi Micro Hei"));
        QCOMPARE(QFontInfo(font).pixelSize(), 12);
        const QFontMetrics metrics(font);
        for (const QChar c : QStringLiteral("烧写文件更新选择长度")) {
            QVERIFY2(metrics.inFont(c), qPrintable(QString(c)));
        }
        const DialogUnits units = DialogUnits::ForFont(font);
        QCOMPARE(units.baseX(), UnitsOf(font).baseX());
        QCOMPARE(units.baseY(), UnitsOf(font).baseY());
    }

    void mainDialogFollowsItsTemplate() {
        DialogHarness harness;
        CheckAgainstTemplate(harness.dialog(), harness.dialog().Controls(), MainDialogTemplate());
    }

    void aboutBoxFollowsItsTemplateAndClosesWithOk() {
        AboutBox about;
        CheckAgainstTemplate(about, about.Controls(), AboutDialogTemplate());
        auto* icon = about.Controls().Get<QLabel>(ids::kStatic);
        QCOMPARE(icon->pixmap().toImage(), AppIcons::Pixmap(kIconApplication).toImage());
        auto* ok = about.Controls().Get<QPushButton>(ids::kOk);
        QVERIFY(ok->isDefault());
        about.show();
        QVERIFY(about.isVisible());
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }

    void tabVisitsTheVisibleControlsInTemplateOrder() {
        DialogHarness harness;
        QApplication::setActiveWindow(&harness.dialog());
        auto* path = harness.Control<QWidget>(ids::kPathEdit);
        QTRY_COMPARE(QApplication::focusWidget(), path);
        auto idOf = [&](const QWidget* focus) {
            for (const auto& [id, widget] : harness.dialog().Controls().All()) {
                if (widget == focus) {
                    return id;
                }
            }
            return 0;
        };
        QList<int> visited;
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << idOf(QApplication::focusWidget());
        }
        QCOMPARE(visited, (QList<int>{ids::kUpdateButton, ids::kSelectFileButton, ids::kLogList,
                                      ids::kLengthEdit, ids::kPathEdit}));
    }
};

QTEST_MAIN(DialogLayoutTest)
#include "DialogLayoutTest.moc"

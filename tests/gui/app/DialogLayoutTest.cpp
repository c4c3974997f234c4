#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "AppHarness.h"
#include "app/AboutBox.h"
#include "app/AppIcons.h"
#include "app/DialogLayout.h"

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

// Dialog units in pixels, rounded to the nearest as Windows does, from the base units Windows
// derives from a dialog font; all worked out here on their own.
struct Units {
    int x = 0;
    int y = 0;
    explicit Units(const QFont& font) : y(QFontMetrics(font).height()) {
        const QFontMetrics m(font);
        int width = 0;
        for (char c = 'A'; c <= 'Z'; ++c) {
            width += m.horizontalAdvance(QChar(c)) + m.horizontalAdvance(QChar(c - 'A' + 'a'));
        }
        x = (width / 26 + 1) / 2;
    }
    QPoint Point(int dx, int dy) const { return {(dx * x + 2) / 4, (dy * y + 4) / 8}; }
    QSize Size(int dx, int dy) const { return {(dx * x + 2) / 4, (dy * y + 4) / 8}; }
};

// The widget class of each control kind, in the order of ControlKind.
constexpr const char* kClassOfKind[] = {
    "QLabel",      "QLabel",      "QLineEdit",
    "QPushButton", "QPushButton", "QGroupBox",
    "QCheckBox",   "QListWidget", "tarnwick::GradientProgressBar"};

// Every control where, as what and how its template says, in template order.
void CheckAgainstTemplate(QDialog& dialog, const DialogControls& controls,
                          const DialogTemplate& tpl) {
    const Units units(dialog.font());
    QCOMPARE(dialog.minimumSize(), units.Size(tpl.width, tpl.height));
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
        QVERIFY2(widget->inherits(kClassOfKind[static_cast<int>(t.kind)]), where);
        QCOMPARE(widget->isHidden(), !t.visible);
        QCOMPARE(widget->isEnabled(), t.enabled);
        QCOMPARE(widget->focusPolicy() != Qt::NoFocus, t.tabStop);
        QCOMPARE(widget->pos(), units.Point(t.x, t.y));
        if (t.kind == ControlKind::Icon) {
            QCOMPARE(widget->size(), QSize(32, 32));
        } else {
            QCOMPARE(widget->size(), units.Size(t.width, t.height));
        }
        // Edits show data (the length 0 from the start), not template text.
        if (t.kind != ControlKind::Icon && t.kind != ControlKind::ListBox &&
            t.kind != ControlKind::Progress && t.kind != ControlKind::Edit) {
            const bool group = qobject_cast<QGroupBox*>(widget) != nullptr;
            QCOMPARE(widget->property(group ? "title" : "text").toString(),
                     QString::fromUtf8(t.text));
        }
    }
}

}  // namespace

class DialogLayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void theDialogFontRendersChineseWithStableMetrics() {
        const QFont font = DialogLayout::DialogFont(MainDialogTemplate());
        QCOMPARE(QFontInfo(font).family(), QStringLiteral("WenQuanYi Micro Hei"));
        QCOMPARE(QFontInfo(font).pixelSize(), 12);
        const QFontMetrics metrics(font);
        for (const QChar c : QStringLiteral("烧写文件更新选择长度")) {
            QVERIFY2(metrics.inFont(c), qPrintable(QString(c)));
        }
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
};

QTEST_MAIN(DialogLayoutTest)
#include "DialogLayoutTest.moc"

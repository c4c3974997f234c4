#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <optional>

#include "AppHarness.h"
#include "app/AppTexts.h"
#include "app/DataExchange.h"
#include "app/WindowMessages.h"

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

// Counts the presses of one key that reach a widget.
class KeyCounter : public QObject {
  public:
    explicit KeyCounter(int watched) : key(watched) {}
    int presses = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == key) {
            ++presses;
        }
        return false;
    }

  private:
    int key;
};

}  // namespace

class DialogBehaviourTest : public QObject {
    Q_OBJECT

  private slots:
    void enterAndEscapeNeverCloseTheDialog_data() {
        QTest::addColumn<int>("control");
        QTest::newRow("path edit") << ids::kPathEdit;
        QTest::newRow("update button") << ids::kUpdateButton;
        QTest::newRow("message list") << ids::kLogList;
    }
    void enterAndEscapeNeverCloseTheDialog() {
        QFETCH(int, control);
        DialogHarness harness;
        QApplication::setActiveWindow(&harness.dialog());
        QWidget* widget = harness.Control<QWidget>(control);
        widget->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), widget);
        KeyCounter escapes(Qt::Key_Escape);
        widget->installEventFilter(&escapes);
        QSignalSpy finished(&harness.dialog(), &QDialog::finished);
        std::optional<QSignalSpy> returns;
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            returns.emplace(edit, &QLineEdit::returnPressed);
        }
        for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(widget, key);
        }
        QTest::keyClick(&harness.dialog(), Qt::Key_Escape);
        QVERIFY(harness.dialog().isVisible());
        QCOMPARE(finished.count(), 0);
        QCOMPARE(escapes.presses, 1);  // the key went to the focused control first
        if (returns) {
            QCOMPARE(returns->count(), 2);  // while Return and Enter still reach an edit
        }
        // Neither key pressed a button: no job asked for a file, no file dialog opened.
        QVERIFY(harness.prompts.messages.isEmpty());
        QVERIFY(harness.prompts.filters.isEmpty());
        QVERIFY(!harness.dialog().Jobs().Busy());
        QVERIFY(!harness.dialog().Jobs().LastResult());
    }

    void theContextMenuAndSystemCommands0x10To0x1FOpenTheAboutBox() {
        DialogHarness harness;
        const QString about = QString::fromUtf8(texts::kAboutCaption);
        auto open = [&] {
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                    harness.dialog().mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(&harness.dialog(), &event);
        };
        open();
        QCOMPARE(harness.prompts.menuItems, QStringList{QString::fromUtf8(texts::kAboutMenuItem)});
        QVERIFY(harness.prompts.modalTitles.isEmpty());  // dismissed: nothing opens
        harness.prompts.menuChoice = QString::fromUtf8(texts::kAboutMenuItem);
        open();
        QCOMPARE(harness.prompts.modalTitles, QStringList{about});

        for (unsigned command = 0x10; command <= 0x1F; ++command) {
            harness.dialog().WindowProc(kWmSysCommand, command, 0);
            QCOMPARE(harness.prompts.modalTitles.size(), static_cast<qsizetype>(command - 0xE));
        }
        QCOMPARE(harness.prompts.modalTitles.last(), about);
        for (unsigned command : {0x00u, 0x0Fu, 0x20u, 0xF010u, 0xF120u}) {
            harness.dialog().OnSysCommand(command);
        }
        QCOMPARE(harness.prompts.modalTitles.size(), 17);
        QVERIFY(harness.dialog().isVisible());
    }

    void exitCommandKeepsTheDialogWhileTheLengthIsNoInteger() {
        DialogHarness harness;
        QApplication::setActiveWindow(&harness.dialog());
        auto* length = harness.Control<QLineEdit>(ids::kLengthEdit);
        length->setText(QStringLiteral("12ab"));
        harness.Control<QLineEdit>(ids::kPathEdit)->setText(QStringLiteral("/typed.bin"));
        QSignalSpy finished(&harness.dialog(), &QDialog::finished);
        harness.dialog().WindowProc(kWmCommand, ids::kCmdExit, 0);
        QCOMPARE(harness.prompts.messages, QStringList{QString::fromUtf8(texts::kEnterInteger)});
        QVERIFY(harness.dialog().isVisible());
        QCOMPARE(finished.count(), 0);
        QTRY_COMPARE(QApplication::focusWidget(), length);
        QCOMPARE(length->selectedText(), QStringLiteral("12ab"));

        length->setText(QStringLiteral(" 42\t"));
        QVERIFY(harness.dialog().OnCommand(ids::kCmdExit));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(harness.dialog().result(), int(QDialog::Accepted));
        QVERIFY(!harness.dialog().isVisible());
        QCOMPARE(harness.dialog().Data().fileLength, 42);
        QCOMPARE(harness.dialog().Data().pathText, QStringLiteral("/typed.bin"));
    }

    void lengthsAreReadAsSignedDecimalIntegers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("value");
        QTest::newRow("plain") << "1000" << true << qint64{1000};
        QTest::newRow("blanks around") << " \t-7 " << true << qint64{-7};
        QTest::newRow("plus sign") << "+5" << true << qint64{5};
        QTest::newRow("past 2 GiB") << "3000000000" << true << qint64{3000000000};
        QTest::newRow("empty") << "" << false << qint64{0};
        QTest::newRow("sign alone") << "-" << false << qint64{0};
        QTest::newRow("blank inside") << "4 2" << false << qint64{0};
        QTest::newRow("hexadecimal") << "0x10" << false << qint64{0};
        QTest::newRow("out of range") << "99999999999999999999" << false << qint64{0};
        QTest::newRow("full-width digits") << "４２" << false << qint64{0};
    }
    void lengthsAreReadAsSignedDecimalIntegers() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(qint64, value);
        const auto parsed = DataExchange::ParseInteger(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid) {
            QCOMPARE(*parsed, value);
        }
    }
};

QTEST_MAIN(DialogBehaviourTest)
#include "DialogBehaviourTest.moc"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cstring>
#include <fstream>
#include <limits>
#include <set>
#include <thread>

#include "AppHarness.h"
#include "TempFile.h"
#include "app/AppTexts.h"
#include "app/DisplayChannel.h"
#include "app/MessageRegistry.h"
#include "app/WindowMessages.h"
#include "widgets/GradientProgressBar.h"

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

constexpr QRgb kGreen = qRgb(0, 255, 1);
constexpr QRgb kRed = qRgb(255, 0, 1);

std::intptr_t TextParam(const char* text) {
    return reinterpret_cast<std::intptr_t>(text);
}

// The bar's left quarter, clear of the percentage caption in the middle.
QRect LeftQuarter(const QImage& image) {
    return QRect(1, 1, image.width() / 4, image.height() - 2);
}

}  // namespace

class DisplayMessagesTest : public QObject {
    Q_OBJECT

  private slots:
    void namesGetOneStableNumberEach() {
        MessageRegistry registry;
        const unsigned a = registry.Register("PROGRAM_MSG_TO_DISPLASY");
        QVERIFY(a >= MessageRegistry::kFirst && a <= MessageRegistry::kLast);
        QCOMPARE(registry.Register("PROGRAM_MSG_TO_DISPLASY"), a);
        QCOMPARE(registry.Register("program_msg_to_displasy"), a);
        QVERIFY(registry.Register("PROGRAM_MSG_DISPLASY_INF") != a);

        // Four threads racing over the same names agree on every number.
        std::vector<std::vector<unsigned>> seen(4);
        std::vector<std::thread> threads;
        for (auto& numbers : seen) {
            threads.emplace_back([&registry, &numbers] {
                for (int i = 0; i < 200; ++i) {
                    numbers.push_back(registry.Register("NAME_" + std::to_string(i)));
                }
            });
        }
        for (auto& t : threads) {
            t.join();
        }
        for (const auto& numbers : seen) {
            QCOMPARE(numbers, seen[0]);
        }
        QCOMPARE(std::set<unsigned>(seen[0].begin(), seen[0].end()).size(), std::size_t{200});
    }

    void theNumberRangeEndsInZeroNotInACollision() {
        MessageRegistry registry;
        for (unsigned i = MessageRegistry::kFirst; i <= MessageRegistry::kLast; ++i) {
            QVERIFY(registry.Register("M" + std::to_string(i)) != 0);
        }
        QCOMPARE(registry.Register("ONE_TOO_MANY"), 0u);
        QCOMPARE(registry.Register("M49152"), MessageRegistry::kFirst);
    }

    void resetEmptiesTheListWhateverItHeld_data() {
        QTest::addColumn<int>("lines");
        for (int n : {1, 2, 3, 100}) {
            QTest::addRow("%d lines", n) << n;
        }
    }
    void resetEmptiesTheListWhateverItHeld() {
        QFETCH(int, lines);
        DialogHarness harness;
        for (int i = 0; i < lines; ++i) {
            harness.Send(DISPLAY_TEXT, TextParam(std::to_string(i).c_str()));
        }
        harness.Send(DISPLAY_RESULT, 1);
        QCOMPARE(harness.LogLines().size(), lines);
        harness.Send(DISPLAY_RESET);
        QVERIFY(harness.LogLines().isEmpty());
        auto* bar = harness.Control<GradientProgressBar>(ids::kProgressBar);
        QCOMPARE(bar->position(), 0);
        QCOMPARE(bar->startColor(), kSuccessColours.start);  // colours stay
    }

    void textsFromAReusedBufferArriveInSendingOrder() {
        DialogHarness harness;
        harness.Send(DISPLAY_TEXT, TextParam("first"));
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            char buffer[512];
            for (const char* text : {"擦除Flash 中..", "写入数据中..", "写入数据完成.."}) {
                std::strcpy(buffer, text);
                harness.dialog().Display().Text(buffer);
                std::memset(buffer, 'X', sizeof buffer - 1);  // reused at once
            }
            finished = true;
        });
        QTRY_VERIFY(finished.load());
        worker.join();
        QCOMPARE(harness.LogLines(),
                 (QStringList{"first", "擦除Flash 中..", "写入数据中..", "写入数据完成.."}));
    }

    void aSendFromAWorkerReturnsOnlyOnceTheDialogThreadHandledIt() {
        QObject window;
        MessageRegistry registry;
        DisplayChannel channel(registry);
        std::atomic<int> handled{0};
        std::atomic<bool> onWindowThread{true};
        channel.Bind(
            &window,
            [&](unsigned, std::uintptr_t, std::intptr_t) {
                onWindowThread = onWindowThread && QThread::currentThread() == window.thread();
                ++handled;
                return std::intptr_t{0};
            },
            [](const char*) {});
        std::vector<int> handledWhenSendReturned;
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            for (int i = 0; i < 3; ++i) {
                channel.Send({DISPLAY_PROGRESS, i, nullptr});
                handledWhenSendReturned.push_back(handled.load());
            }
            finished = true;
        });
        QTRY_VERIFY(finished.load());
        worker.join();
        QCOMPARE(handledWhenSendReturned, (std::vector<int>{1, 2, 3}));
        QVERIFY(onWindowThread.load());
    }

    void progressAfterAResultTurnsBackToTheWorkingGradient() {
        DialogHarness harness;
        harness.Send(DISPLAY_RESULT, 1);
        harness.Send(DISPLAY_PROGRESS, 37);
        auto* bar = harness.Control<GradientProgressBar>(ids::kProgressBar);
        QCOMPARE(bar->position(), 37);
        QCOMPARE((BarColours{bar->startColor(), bar->endColor()}), kWorkingColours);
        const QImage image = harness.BarImage();
        QCOMPARE(image.pixel(0, image.height() / 2), qRgb(255, 0, 0));
        QCOMPARE(image.pixel(image.width() - 1, image.height() / 2),
                 FromColorRef(bar->backgroundColor()));
    }

    void theLastResultPaintsTheWholeBar_data() {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::addColumn<QRgb>("colour");
        QTest::newRow("failure, then success: green") << 0 << 1 << kGreen;
        QTest::newRow("success, then failure: red") << 1 << 0 << kRed;
        QTest::newRow("any non-zero value is success") << 0 << -5 << kGreen;
    }
    void theLastResultPaintsTheWholeBar() {
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(QRgb, colour);
        DialogHarness harness;
        harness.Send(DISPLAY_RESULT, first);
        harness.Send(DISPLAY_RESULT, second);
        QCOMPARE(harness.Control<GradientProgressBar>(ids::kProgressBar)->position(), 100);
        const QImage image = harness.BarImage();
        QCOMPARE(UniformColour(image, LeftQuarter(image)), std::optional<QRgb>(colour));
        const QRect rightQuarter(image.width() * 3 / 4, 1, image.width() / 4 - 1,
                                 image.height() - 2);
        QCOMPARE(UniformColour(image, rightQuarter), std::optional<QRgb>(colour));
    }

    void enableTakesAnyNonZeroValue() {
        DialogHarness harness;
        auto* button = harness.Control<QPushButton>(ids::kUpdateButton);
        harness.Send(DISPLAY_ENABLE, 0);
        QVERIFY(!button->isEnabled());
        harness.Send(DISPLAY_ENABLE, 2);
        QVERIFY(button->isEnabled());
    }

    void unknownCommandsChangeNothing_data() {
        QTest::addColumn<quintptr>("command");
        QTest::newRow("5") << quintptr{5};
        QTest::newRow("-1") << quintptr(std::numeric_limits<quintptr>::max());
        QTest::newRow("0x100000000") << quintptr{0x100000000ull};
    }
    void unknownCommandsChangeNothing() {
        QFETCH(quintptr, command);
        DialogHarness harness;
        harness.Send(DISPLAY_TEXT, TextParam("kept"));
        harness.Send(DISPLAY_RESULT, 0);
        const QImage before = harness.BarImage();
        const unsigned message = MessageRegistry::Process().Register(kMsgToDisplay);
        harness.dialog().WindowProc(message, command, TextParam("not shown"));
        harness.dialog().WindowProc(message, command, 0);
        QCOMPARE(harness.LogLines(), QStringList{"kept"});
        QCOMPARE(harness.BarImage(), before);
        QVERIFY(harness.Control<QPushButton>(ids::kUpdateButton)->isEnabled());
    }

    void fileInformationShowsTheStartValues() {
        DialogHarness harness;
        harness.Send(DISPLAY_TEXT, TextParam("kept"));
        harness.dialog().WindowProc(MessageRegistry::Process().Register(kMsgDisplayInfo), 0, 0);
        QCOMPARE(harness.Control<QLineEdit>(ids::kFileVersionEdit)->text(),
                 QStringLiteral("00000000-0000"));
        QCOMPARE(harness.Control<QLineEdit>(ids::kChipModelEdit)->text(), QString());
        QCOMPARE(harness.dialog().Controls().Text(ids::kInfoGroup),
                 QString::fromUtf8(texts::kProgrammerFileInfo));
        QCOMPARE(harness.LogLines(), QStringList{"kept"});
        // Still hidden: nobody sees this display.
        QVERIFY(harness.Control<QWidget>(ids::kInfoGroup)->isHidden());
    }

    void fileInformationFormatsTheVersionInUpperCase() {
        DialogHarness harness;
        harness.fileInfo.version = {0xabcdef12u, 0x12345u};
        harness.fileInfo.chipModel = "W25Q128";
        harness.dialog().WindowProc(MessageRegistry::Process().Register(kMsgDisplayInfo), 0, 0);
        QCOMPARE(harness.Control<QLineEdit>(ids::kFileVersionEdit)->text(),
                 QStringLiteral("ABCDEF12-12345"));
        QCOMPARE(harness.Control<QLineEdit>(ids::kChipModelEdit)->text(),
                 QStringLiteral("W25Q128"));
    }

    void fileInformationLoadsTheNonEmptyLinesOfItsTextFile_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("no final line end") << QByteArray("A\n\nB") << QStringList{"A", "B"};
        QTest::newRow("Windows line ends") << QByteArray("A\r\n\r\nB\r\n") << QStringList{"A", "B"};
        QTest::newRow("Chinese text") << QByteArray("芯片\n") << QStringList{"芯片"};
        QTest::newRow("nothing but empty lines") << QByteArray("\n\n") << QStringList{};
    }
    void fileInformationLoadsTheNonEmptyLinesOfItsTextFile() {
        QFETCH(QByteArray, contents);
        QFETCH(QStringList, lines);
        const TempFile file(std::vector<std::uint8_t>(contents.begin(), contents.end()),
                            "info.txt");
        DialogHarness harness;
        harness.Send(DISPLAY_TEXT, TextParam("replaced"));
        harness.fileInfo.infoTextPath = file.Path();
        harness.dialog().WindowProc(MessageRegistry::Process().Register(kMsgDisplayInfo), 0, 0);
        QCOMPARE(harness.LogLines(), lines);
    }

    void aMissingInfoFileLeavesTheList() {
        DialogHarness harness;
        harness.Send(DISPLAY_TEXT, TextParam("kept"));
        harness.fileInfo.infoTextPath = "/nonexistent/info.txt";
        harness.dialog().WindowProc(MessageRegistry::Process().Register(kMsgDisplayInfo), 0, 0);
        harness.fileInfo.infoTextPath = "/";
        harness.dialog().WindowProc(MessageRegistry::Process().Register(kMsgDisplayInfo), 0, 0);
        QCOMPARE(harness.LogLines(), QStringList{"kept"});
    }

    void closingReleasesASenderWaitingForTheDialogThread() {
        QObject window;
        MessageRegistry registry;
        DisplayChannel channel(registry);
        std::atomic<int> handled{0};
        channel.Bind(
            &window,
            [&](unsigned, std::uintptr_t, std::intptr_t) {
                ++handled;
                return std::intptr_t{0};
            },
            [](const char*) {});
        std::atomic<int> returned{0};
        std::thread worker([&] {
            while (!channel.Closed()) {
                channel.Send({DISPLAY_PROGRESS, 1, nullptr});
                ++returned;
            }
            channel.ShowMessage("after the end");  // must not block either
        });
        QTRY_VERIFY(handled.load() >= 3);
        // From here on this thread handles nothing: a worker still sleeping in a send can only
        // get out through Close, and the join below would hang without it.
        channel.Close();
        worker.join();
        const int handledAtClose = handled.load();
        QCoreApplication::processEvents();
        QCOMPARE(handled.load(), handledAtClose);  // a send still queued is dropped
        channel.Send({DISPLAY_PROGRESS, 2, nullptr});
        QCOMPARE(handled.load(), handledAtClose);
    }

    void aSendFromTheDialogThreadIsADirectCall() {
        QObject window;
        MessageRegistry registry;
        DisplayChannel channel(registry);
        std::vector<std::uintptr_t> commands;
        channel.Bind(
            &window,
            [&](unsigned message, std::uintptr_t wParam, std::intptr_t) {
                if (message == registry.Register(kMsgToDisplay)) {
                    commands.push_back(wParam);
                }
                return std::intptr_t{0};
            },
            [](const char*) {});
        channel.Send({DISPLAY_ENABLE, 1, nullptr});
        QCOMPARE(commands, std::vector<std::uintptr_t>{DISPLAY_ENABLE});  // no event loop ran
    }
};

QTEST_MAIN(DisplayMessagesTest)
#include "DisplayMessagesTest.moc"

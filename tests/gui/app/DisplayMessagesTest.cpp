// What the display commands do on the dialog's real controls and threads; the effect of each
// command is pinned on a fake target in tests/unit/display.
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cstring>
#include <set>
#include <thread>

#include "AppHarness.h"
#include "TempFile.h"
#include "app/DisplayChannel.h"
#include "app/MessageRegistry.h"
#include "app/WindowMessages.h"

using namespace tarnwick;
using namespace tarnwick::testing;

namespace {

// A channel bound to a window of this thread; its procedure records what reached it, and where.
struct BoundChannel {
    QObject window;
    DisplayChannel channel;
    std::vector<std::string> texts;  // copied the moment they arrive
    std::atomic<int> handled{0};
    std::atomic<bool> onWindowThread{true};

    BoundChannel() {
        channel.Bind(
            &window, [](unsigned, std::uintptr_t, std::intptr_t) { return std::intptr_t{0}; },
            [this](const DisplayMessage& message) {
                onWindowThread = onWindowThread && QThread::currentThread() == window.thread();
                if (message.command == DISPLAY_TEXT) {
                    texts.emplace_back(message.text);
                }
                ++handled;
            },
            [](const char*) {});
    }
};

}  // namespace

class DisplayMessagesTest : public QObject {
    Q_OBJECT

  private slots:
    void namesGetOneStableNumberEachUntilTheRangeEndsInZero() {
        MessageRegistry registry;
        const unsigned a = registry.Register("PROGRAM_MSG_TO_DISPLASY");
        QCOMPARE(a, MessageRegistry::kFirst);
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

        for (unsigned i = MessageRegistry::kFirst + 202; i <= MessageRegistry::kLast; ++i) {
            QVERIFY(registry.Register(std::to_string(i).insert(0, 1, 'M')) != 0);
        }
        QCOMPARE(registry.Register("ONE_TOO_MANY"), 0u);
        QCOMPARE(registry.Register("PROGRAM_MSG_TO_DISPLASY"), a);
    }

    void aSendReturnsOnlyOnceTheDialogThreadHandledIt() {
        BoundChannel c;
        c.channel.Send({DISPLAY_ENABLE, 1, nullptr});
        QCOMPARE(c.handled.load(), 1);  // from the dialog's own thread: a direct call

        std::vector<int> handledWhenSendReturned;
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            char buffer[512];
            for (const char* text : {"擦除Flash 中..", "写入数据中..", "写入数据完成.."}) {
                std::strcpy(buffer, text);
                c.channel.Send({DISPLAY_TEXT, 0, buffer});
                handledWhenSendReturned.push_back(c.handled.load());
                std::memset(buffer, 'X', sizeof buffer - 1);  // reused at once
            }
            finished = true;
        });
        QTRY_VERIFY(finished.load());
        worker.join();
        QCOMPARE(handledWhenSendReturned, (std::vector<int>{2, 3, 4}));
        QCOMPARE(c.texts,
                 (std::vector<std::string>{"擦除Flash 中..", "写入数据中..", "写入数据完成.."}));
        QVERIFY(c.onWindowThread.load());
    }

    void closingReleasesASenderWaitingForTheDialogThread() {
        BoundChannel c;
        std::thread worker([&] {
            while (!c.channel.Closed()) {
                c.channel.Send({DISPLAY_PROGRESS, 1, nullptr});
            }
            c.channel.ShowMessage("after the end");  // must not block either
        });
        QTRY_VERIFY(c.handled.load() >= 3);
        // From here on this thread handles nothing: a worker still sleeping in a send can only
        // get out through Close, and the join below would hang without it.
        c.channel.Close();
        worker.join();
        const int handledAtClose = c.handled.load();
        QCoreApplication::processEvents();
        QCOMPARE(c.handled.load(), handledAtClose);  // a send still queued is dropped
        c.channel.Send({DISPLAY_PROGRESS, 2, nullptr});
        QCOMPARE(c.handled.load(), handledAtClose);
    }

    // Each command's effect is pinned in tests/unit/display, the result colours on the real bar
    // by the job's endings; here what only the dialog's window procedure can get wrong.
    void aCommandPast32BitsIsUnknownNotCutToItsLowBits() {
        DialogHarness harness;
        harness.SendText("kept");
        harness.Send(DISPLAY_ENABLE, 0);
        QVERIFY(!harness.Control<QPushButton>(ids::kUpdateButton)->isEnabled());
        harness.Send(DISPLAY_PROGRESS, 40);
        const QImage image = harness.BarImage();
        const unsigned message = MessageRegistry::Process().Register(kMsgToDisplay);
        harness.dialog().WindowProc(message, std::uintptr_t{0x100000000ull}, 0);  // a reset's 0
        QCOMPARE(harness.LogLines(), QStringList{"kept"});
        QCOMPARE(harness.BarImage(), image);
    }

    void fileInformationLoadsTheNonEmptyLinesOfItsTextFile_data() {
        QTest::addColumn<QString>("path");  // empty: a file with the contents
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("no final line end") << "" << QByteArray("A\n\nB") << QStringList{"A", "B"};
        QTest::newRow("Windows line ends, Chinese")
            << "" << QByteArray("A\r\n\r\n芯片\r\n") << QStringList{"A", "芯片"};
        QTest::newRow("missing: the list stays")
            << "/nonexistent/info.txt" << QByteArray() << QStringList{"kept"};
        QTest::newRow("a directory: the list stays") << "/" << QByteArray() << QStringList{"kept"};
    }
    void fileInformationLoadsTheNonEmptyLinesOfItsTextFile() {
        QFETCH(QString, path);
        QFETCH(QByteArray, contents);
        const TempFile file(std::vector<std::uint8_t>(contents.begin(), contents.end()),
                            "info.txt");
        DialogHarness harness;
        harness.SendText("kept");
        harness.fileInfo.infoTextPath = path.isEmpty() ? file.Path() : path.toStdString();
        harness.dialog().WindowProc(MessageRegistry::Process().Register(kMsgDisplayInfo), 0, 0);
        QTEST(harness.LogLines(), "lines");
    }
};

QTEST_MAIN(DisplayMessagesTest)
#include "DisplayMessagesTest.moc"

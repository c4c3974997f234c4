// The main dialog on a real kernel: the Linux platform layer (drives from sysfs, hot-plug from
// the kernel's uevents through UdevMonitor) with the gadget plugged and unplugged under it, on
// a real X server (Xvfb) in the e2e guest, the programmer the only SCSI device there. Run by
// tests/e2e/cases/dialog.sh, which starts the gadget unplugged and names its directory in
// E2E_GADGET_DIR and the image in E2E_IMAGE.
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "AppHarness.h"
#include "jobs/JobTexts.h"
#include "platform/linux/SysfsDriveProvider.h"
#include "platform/linux/UdevMonitor.h"

namespace tarnwick {
namespace {

constexpr int kAttachMs = 30'000;
constexpr int kJobMs = 240'000;

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Sends a command down the gadget's control FIFO and waits (hang guard only) for its
// acknowledgement, while the dialog keeps handling its events.
bool Gadget(const std::string& command) {
    const std::string dir = qgetenv("E2E_GADGET_DIR").toStdString();
    const auto acks = [&] {
        const std::string log = ReadAll(dir + "/log");
        const std::string done = "control: " + command + " done";
        int n = 0;
        for (auto at = log.find(done); at != std::string::npos; at = log.find(done, at + 1)) {
            ++n;
        }
        return n;
    };
    const int before = acks();
    std::ofstream(dir + "/ctl") << command << '\n';
    return QTest::qWaitFor([&] { return acks() > before; }, kAttachMs);
}

class DialogOnRealKernel : public QObject {
    Q_OBJECT

  private slots:
    // Plugged, unplugged, plugged again; then a firmware update from the update button.
    void followsThePlugAndWritesTheImage() {
        drives = SysfsDriveProvider::Create().value();
        dialog = std::make_unique<ProgrammerDialog>(session.Services(
            *drives,
            []() -> std::unique_ptr<DeviceChangeSource> { return UdevMonitor::Create().value(); },
            prompts, diagnostics));
        dialog->OnInitDialog();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        QVERIFY2(Shows(false), "with the gadget unplugged the dialog must show no programmer");
        for (const char* step : {"plug", "unplug", "plug"}) {
            const bool present = std::string(step) == "plug";
            QVERIFY(Gadget(step));
            QTRY_VERIFY2_WITH_TIMEOUT(Shows(present), step, kAttachMs);
            QCOMPARE(session.link.DriveNumber(), present ? 1 : 0);  // alone: /dev/sg0, drive 1
        }

        const QString image = qEnvironmentVariable("E2E_IMAGE");
        prompts.fileAnswers.push_back(image);
        QVERIFY(dialog->OnCommand(ids::kSelectFileButton));
        QTest::mouseClick(dialog->Controls().Get<QPushButton>(ids::kUpdateButton), Qt::LeftButton);
        QTRY_VERIFY2_WITH_TIMEOUT(
            !dialog->Jobs().Busy() && testing::BarIsSolid(*dialog, qRgb(0, 255, 1)),
            "the job started from the update button ends in solid green", kJobMs);
        QCOMPARE(testing::LogLines(*dialog).constLast(), QString::fromUtf8(texts::kWriteDone));
        QVERIFY(Gadget("dump"));
        const std::string written = ReadAll(image.toStdString());
        const std::string flash = ReadAll(qgetenv("E2E_GADGET_DIR").toStdString() + "/flash.bin");
        QVERIFY2(!written.empty() && flash.compare(0, written.size(), written) == 0,
                 "the flash holds the image");
        QVERIFY(Gadget("unplug"));
    }

  private:
    bool Shows(bool present) {
        return dialog->Controls().Get<QPushButton>(ids::kUpdateButton)->isEnabled() == present &&
               testing::ShowsIcon(*dialog, present ? kIconProgrammerPresent : kIconNoProgrammer);
    }

    DialogSession session;
    testing::FakePrompts prompts;
    std::ostringstream diagnostics;
    std::unique_ptr<SysfsDriveProvider> drives;
    std::unique_ptr<ProgrammerDialog> dialog;
};

}  // namespace
}  // namespace tarnwick

QTEST_MAIN(tarnwick::DialogOnRealKernel)
#include "DialogOnRealKernel.moc"

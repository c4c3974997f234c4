// The main dialog on a real kernel: the Linux platform layer (drives from sysfs, hot-plug from
// the kernel's uevents through UdevMonitor) with the gadget plugged and unplugged under it, on
// a real X server (Xvfb) in the e2e guest, the programmer the only SCSI device there. Run by
// tests/e2e/cases/dialog.sh, which starts the gadget unplugged and names its directory in
// E2E_GADGET_DIR and the image in E2E_IMAGE.
#include <QPushButton>
#include <QTest>
#include <fstream>
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

// Sends a command down the gadget's control FIFO and waits (hang guard only) for its
// acknowledgement, while the dialog keeps handling its events.
bool Gadget(const char* command) {
    const QString dir = qEnvironmentVariable("E2E_GADGET_DIR");
    const QByteArray done = QByteArray("control: ") + command + " done";
    const auto acks = [&] { return testing::ReadAll(dir + "/log").count(done); };
    const auto before = acks();
    std::ofstream((dir + "/ctl").toStdString()) << command << '\n';
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
        const QByteArray written = testing::ReadAll(image);
        QVERIFY2(!written.isEmpty() &&
                     testing::ReadAll(qEnvironmentVariable("E2E_GADGET_DIR") + "/flash.bin")
                         .startsWith(written),
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

// The main dialog on a real kernel: the Linux platform layer (drives from sysfs, hot-plug from
// the kernel's uevents through UdevMonitor) with the gadget plugged and unplugged under it, on
// a real X server (Xvfb) in the e2e guest, the programmer the only SCSI device there. Run by
// tests/e2e/cases/dialog.sh, which starts the gadget unplugged and names its directory in
// E2E_GADGET_DIR and the image in E2E_IMAGE.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "AppHarness.h"
#include "app/AppIcons.h"
#include "app/DialogTemplate.h"
#include "app/ProgrammerDialog.h"
#include "jobs/JobTexts.h"
#include "platform/linux/SysfsDriveProvider.h"
#include "platform/linux/UdevMonitor.h"
#include "widgets/GradientProgressBar.h"

namespace tarnwick {
namespace {

constexpr QRgb kGreen = qRgb(0, 255, 1);
constexpr int kAttachMs = 30'000;
constexpr int kJobMs = 240'000;

std::string Env(const char* name) {
    const QByteArray value = qgetenv(name);
    return value.toStdString();
}

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

// Sends a command down the gadget's control FIFO and waits (hang guard only) for its
// acknowledgement, while the dialog keeps handling its events.
bool Gadget(const std::string& command) {
    const std::string dir = Env("E2E_GADGET_DIR");
    const std::string done = "control: " + command + " done";
    const int before = CountOf(ReadAll(dir + "/log"), done);
    std::ofstream(dir + "/ctl") << command << '\n';
    return QTest::qWaitFor([&] { return CountOf(ReadAll(dir + "/log"), done) > before; },
                           kAttachMs);
}

class DialogOnRealKernel : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void followsPlugAndUnplugWithButtonAndStatusIcon();
    void updateButtonJobEndsInSolidGreenAndWritesTheImage();

  private:
    template <typename T>
    T* Control(int id) {
        return dialog->Controls().Get<T>(id);
    }
    bool ShowsIcon(int icon) {
        const QPixmap shown = Control<QLabel>(ids::kStatusIcon)->pixmap();
        return !shown.isNull() && shown.toImage() == AppIcons::Pixmap(icon).toImage();
    }
    bool PresentShown() {
        return Control<QPushButton>(ids::kUpdateButton)->isEnabled() &&
               ShowsIcon(kIconProgrammerPresent);
    }
    bool AbsentShown() {
        return !Control<QPushButton>(ids::kUpdateButton)->isEnabled() &&
               ShowsIcon(kIconNoProgrammer);
    }
    // At 100, and the left and right quarters all in `colour` (the caption sits in the middle).
    bool BarIsSolid(QRgb colour) {
        auto* bar = Control<GradientProgressBar>(ids::kProgressBar);
        const QImage image = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int quarter = image.width() / 4;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < quarter; ++x) {
                if (image.pixel(x, y) != colour ||
                    image.pixel(image.width() - 1 - x, y) != colour) {
                    return false;
                }
            }
        }
        return bar->position() == 100;
    }

    DialogSession session;
    ProgrammerLink& link = session.link;
    testing::FakePrompts prompts;
    std::ostringstream diagnostics;
    std::unique_ptr<SysfsDriveProvider> drives;
    std::unique_ptr<ProgrammerDialog> dialog;
};

void DialogOnRealKernel::init() {
    drives = SysfsDriveProvider::Create().value();
    dialog = std::make_unique<ProgrammerDialog>(session.Services(
        *drives,
        []() -> std::unique_ptr<DeviceChangeSource> { return UdevMonitor::Create().value(); },
        prompts, diagnostics));
    dialog->OnInitDialog();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
}

void DialogOnRealKernel::cleanup() {
    dialog.reset();
    drives.reset();
    link.Clear();
}

void DialogOnRealKernel::followsPlugAndUnplugWithButtonAndStatusIcon() {
    QVERIFY2(AbsentShown(), "with the gadget unplugged the dialog must show no programmer");
    QVERIFY(Gadget("plug"));
    QTRY_VERIFY2_WITH_TIMEOUT(PresentShown(), "plugged in: update button on, icon 129", kAttachMs);
    QCOMPARE(link.DriveNumber(), 1);  // alone on the bus: /dev/sg0, drive 1
    QVERIFY(Gadget("unplug"));
    QTRY_VERIFY2_WITH_TIMEOUT(AbsentShown(), "unplugged: update button off, icon 130", kAttachMs);
    QVERIFY(!link.Device());
    QVERIFY(Gadget("plug"));
    QTRY_VERIFY2_WITH_TIMEOUT(PresentShown(), "plugged in again: found again", kAttachMs);
    QVERIFY(Gadget("unplug"));
    QTRY_VERIFY_WITH_TIMEOUT(AbsentShown(), kAttachMs);
}

void DialogOnRealKernel::updateButtonJobEndsInSolidGreenAndWritesTheImage() {
    const QString image = QString::fromStdString(Env("E2E_IMAGE"));
    QVERIFY(Gadget("plug"));
    QTRY_VERIFY_WITH_TIMEOUT(PresentShown(), kAttachMs);
    QVERIFY(Gadget("clear-log"));

    prompts.fileAnswers.push_back(image);
    QVERIFY(dialog->OnCommand(ids::kSelectFileButton));
    QCOMPARE(QString::fromStdString(session.firmwarePath.Get()), image);
    QTest::mouseClick(Control<QPushButton>(ids::kUpdateButton), Qt::LeftButton);
    QTRY_VERIFY2_WITH_TIMEOUT(!dialog->Jobs().Busy() && BarIsSolid(kGreen),
                              "the job started from the update button ends in solid green", kJobMs);
    QVERIFY(Control<QPushButton>(ids::kUpdateButton)->isEnabled());
    auto* log = Control<QListWidget>(ids::kLogList);
    QVERIFY(log->count() > 0);
    QCOMPARE(log->item(log->count() - 1)->text(), QString::fromUtf8(texts::kWriteDone));

    QVERIFY(Gadget("dump"));
    const std::string dir = Env("E2E_GADGET_DIR");
    const std::string written = ReadAll(image.toStdString());
    const std::string flash = ReadAll(dir + "/flash.bin");
    QVERIFY(!written.empty());
    QVERIFY2(flash.compare(0, written.size(), written) == 0, "the flash holds the image");
    QVERIFY(Gadget("unplug"));
}

}  // namespace
}  // namespace tarnwick

QTEST_MAIN(tarnwick::DialogOnRealKernel)
#include "DialogOnRealKernel.moc"

// tarnwick-bench-dialog-write IMAGE: the time of one firmware update through the main dialog
// on the real platform layer (drives from sysfs, hot-plug from uevents): the file is chosen,
// the update button clicked, and the clock stops when the job has ended. The job reports every
// page to the dialog, which repaints its progress bar, so this is tarnwick-cli write's figure
// with the dialog showing progress. Needs an X server (or QT_QPA_PLATFORM=offscreen) and the
// programmer plugged in. Prints the seconds; exit status 1 when the update did not succeed.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>

#include "app/DialogTemplate.h"
#include "app/ProgrammerDialog.h"
#include "app/UserPrompts.h"
#include "jobs/JobTexts.h"
#include "platform/linux/SysfsDriveProvider.h"
#include "platform/linux/UdevMonitor.h"

namespace {

using namespace tarnwick;

// The person: picks the image in the open dialog and dismisses everything else.
class ScriptedPrompts final : public UserPrompts {
  public:
    explicit ScriptedPrompts(QString file) : image(std::move(file)) {}
    void ShowMessage(const QString& text) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    }
    std::optional<QString> ChooseFileToOpen(const QString&) override { return image; }
    std::optional<QString> ChooseNameToOpen(const QString&) override { return image; }
    std::optional<QString> ChooseFileToSave(const QString&) override { return std::nullopt; }
    int RunModal(QDialog&) override { return 0; }
    QAction* ChooseFromMenu(QMenu&, const QPoint&) override { return nullptr; }

  private:
    QString image;
};

// Waits in an event loop, as the dialog's own exec() does, until `done` or the hang guard runs
// out. `done` is looked at when `watched` changes its enabled state (the update button comes back
// at the end of a job), and every 50 ms in case that was missed. Spinning on processEvents(), or
// looking every few milliseconds, would take CPU from the job and the programmer, which share
// the guest's two, and charge it to the dialog.
class EndWatch final : public QObject {
  public:
    EndWatch(QWidget& watched, std::function<bool()> done) : test(std::move(done)) {
        watched.installEventFilter(this);
        QObject::connect(&poll, &QTimer::timeout, this, [this] { Look(); });
    }
    bool Wait(int limitMs) {
        if (test()) {
            return true;
        }
        QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
        poll.start(50);
        loop.exec();
        poll.stop();
        return test();
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange) {
            // The worker ends just after its last display command: look again shortly.
            QTimer::singleShot(1, this, [this] { Look(); });
        }
        return false;
    }

  private:
    void Look() {
        if (test()) {
            loop.quit();
        }
    }
    std::function<bool()> test;
    QEventLoop loop;
    QTimer poll;
};

bool RunUntil(QWidget& watched, const std::function<bool()>& done, int limitMs) {
    EndWatch watch(watched, done);
    return watch.Wait(limitMs);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarnwick-bench-dialog-write IMAGE\n");
        return 2;
    }
    ScriptedPrompts prompts(QString::fromLocal8Bit(argv[1]));
    std::ostringstream diagnostics;
    auto drives = SysfsDriveProvider::Create();
    if (!drives) {
        std::fprintf(stderr, "%s\n", drives.error().Describe().c_str());
        return 2;
    }
    DialogSession session;
    ProgrammerDialog dialog(session.Services(
        **drives,
        []() -> std::unique_ptr<DeviceChangeSource> {
            return UdevMonitor::Create().value_or(nullptr);
        },
        prompts, diagnostics));
    dialog.OnInitDialog();
    dialog.show();
    auto* button = dialog.Controls().Get<QPushButton>(ids::kUpdateButton);
    if (!RunUntil(
            *button, [&] { return button->isEnabled(); }, 30'000)) {
        std::fprintf(stderr, "no programmer found\n");
        return 1;
    }
    dialog.OnCommand(ids::kSelectFileButton);

    QElapsedTimer timer;
    timer.start();
    button->click();
    const bool ended = RunUntil(
        *button, [&] { return !dialog.Jobs().Busy(); }, 600'000);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    auto* log = dialog.Controls().Get<QListWidget>(ids::kLogList);
    // A write error ends with the "done" line too, after its own error line.
    const bool written =
        ended && log->count() > 0 &&
        log->item(log->count() - 1)->text() == QString::fromUtf8(texts::kWriteDone) &&
        log->findItems(QString::fromUtf8(texts::kWriteError), Qt::MatchExactly).isEmpty();
    if (!written) {
        std::fprintf(stderr, "the update did not succeed\n");
        return 1;
    }
    std::printf("%.3f\n", seconds);
    return 0;
}

// What showing progress in the dialog costs a job: the same file written into the emulated
// programmer once with no display at all and once from the dialog's update button, where every
// page's progress is a synchronous send to the dialog's thread and a repaint of the bar.
// Run: QT_QPA_PLATFORM=offscreen build/release/bench/app/tarnwick_bench_dialog
#include <sys/eventfd.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/DialogTemplate.h"
#include "app/ProgrammerDialog.h"
#include "emulator/EmulatedDrives.h"

namespace {

using namespace tarnwick;

struct AnsweringPrompts : UserPrompts {
    QString file;
    void ShowMessage(const QString& text) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    }
    std::optional<QString> ChooseFileToOpen(const QString&) override { return file; }
    std::optional<QString> ChooseNameToOpen(const QString&) override { return file; }
    std::optional<QString> ChooseFileToSave(const QString&) override { return std::nullopt; }
    int RunModal(QDialog&) override { return 0; }
    QAction* ChooseFromMenu(QMenu&, const QPoint&) override { return nullptr; }
};

// Device changes that never come: the bench plugs nothing in or out.
struct NoDeviceChanges : DeviceChangeSource {
    int fd = eventfd(0, EFD_CLOEXEC);
    ~NoDeviceChanges() override { close(fd); }
    int PollFd() const override { return fd; }
    std::size_t Dispatch(const DeviceChangeHandler&) override { return 0; }
};

struct NullDisplay : DisplaySink, MessageBoxSink {
    void Send(const DisplayMessage&) override {}
    void ShowMessage(const char*) override {}
};

std::string MakeImage(std::size_t bytes) {
    const auto path = std::filesystem::temp_directory_path() / "tarnwick-bench-dialog.bin";
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < bytes; ++i) {
        out.put(static_cast<char>(i * 7 + (i >> 9)));
    }
    return path.string();
}

std::shared_ptr<EmulatedProgrammer> MakeProgrammer(std::chrono::microseconds latency) {
    auto programmer = std::make_shared<EmulatedProgrammer>(32u << 20);
    FaultPlan plan;
    plan.latency = latency;
    programmer->SetFaults(plan);
    return programmer;
}

double WithoutDisplay(const std::string& image, std::chrono::microseconds latency) {
    ProgrammerLink link;
    link.Set(MakeProgrammer(latency), EmulatedDrives::kDrive);
    FirmwarePath path;
    path.Set(image);
    NullDisplay display;
    std::ostringstream diagnostics;
    ProgramJob job(link, path, display, display, diagnostics);
    QElapsedTimer timer;
    timer.start();
    if (job.ProgramFlash().ending != ProgramEnding::Success) {
        std::fprintf(stderr, "job failed\n");
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

double FromTheDialog(const std::string& image, std::chrono::microseconds latency) {
    EmulatedDrives drives(MakeProgrammer(latency));
    AnsweringPrompts prompts;
    prompts.file = QString::fromStdString(image);
    std::ostringstream diagnostics;
    DialogSession session;
    ProgrammerDialog dialog(session.Services(
        drives, [] { return std::make_unique<NoDeviceChanges>(); }, prompts, diagnostics));
    dialog.OnInitDialog();
    dialog.show();
    dialog.OnCommand(ids::kSelectFileButton);
    QElapsedTimer timer;
    timer.start();
    dialog.OnCommand(ids::kUpdateButton);
    // Waits for events as the dialog's own loop does, rather than spinning on one of the cores
    // the job needs too; the timer only looks for the job's end.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!dialog.Jobs().Busy()) {
            loop.quit();
        }
    });
    poll.start(1);
    loop.exec();
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (!dialog.Jobs().LastResult() ||
        dialog.Jobs().LastResult()->ending != ProgramEnding::Success) {
        std::fprintf(stderr, "dialog job failed\n");
    }
    dialog.done(0);
    return seconds;
}

void Compare(const char* label, std::size_t bytes, std::chrono::microseconds latency) {
    const std::string image = MakeImage(bytes);
    const double pages = static_cast<double>((bytes + 511) / 512);
    const double bare = WithoutDisplay(image, latency);
    const double shown = FromTheDialog(image, latency);
    std::printf(
        "%-34s %6.0f pages  no display %8.3f s (%7.1f us/page)  dialog %8.3f s "
        "(%7.1f us/page)  ratio %.3f\n",
        label, pages, bare, bare / pages * 1e6, shown, shown / pages * 1e6, shown / bare);
    std::filesystem::remove(image);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    Compare("4 MiB, instant programmer", 4u << 20, std::chrono::microseconds(0));
    Compare("256 KiB, 1 ms per command", 256u << 10, std::chrono::microseconds(1000));
    return 0;
}

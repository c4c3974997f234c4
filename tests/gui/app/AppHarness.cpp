#include "AppHarness.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <stdexcept>

#include "app/AppIcons.h"
#include "app/WindowMessages.h"
#include "widgets/GradientProgressBar.h"

namespace tarnwick::testing {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::optional<QString> FakePrompts::Ask(const QString& filter, const char* dialog) {
    filters << filter;
    fileDialogs << dialog;
    if (fileAnswers.empty()) {
        return std::nullopt;
    }
    // Taken apart by hand: GCC 12 at -O2 sees a copied optional<QString> as maybe unset.
    const bool cancelled = !fileAnswers.front().has_value();
    const QString answer = fileAnswers.front().value_or(QString());
    fileAnswers.pop_front();
    if (cancelled) {
        return std::nullopt;
    }
    return answer;
}

int FakePrompts::RunModal(QDialog& dialog) {
    modalTitles << dialog.windowTitle();
    return QDialog::Accepted;
}

QAction* FakePrompts::ChooseFromMenu(QMenu& menu, const QPoint&) {
    menuItems.clear();
    QAction* chosen = nullptr;
    for (QAction* action : menu.actions()) {
        menuItems << action->text();
        if (!menuChoice.isEmpty() && action->text() == menuChoice) {
            chosen = action;
        }
    }
    return chosen;
}

PipeDeviceChanges::PipeDeviceChanges() {
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2 failed");
    }
}

PipeDeviceChanges::~PipeDeviceChanges() {
    close(fds[0]);
    close(fds[1]);
}

std::size_t PipeDeviceChanges::Dispatch(const DeviceChangeHandler& onChange) {
    std::size_t delivered = 0;
    char byte;
    while (read(fds[0], &byte, 1) == 1) {
        onChange(DeviceChange{"change", "scsi_generic", "sg3"});
        ++delivered;
    }
    return delivered;
}

void PipeDeviceChanges::Notify() {
    const char byte = 1;
    if (write(fds[1], &byte, 1) != 1) {
        throw std::runtime_error("pipe write failed");
    }
}

LockHolder::LockHolder(const std::string& path, Kind kind) : fd(open(path.c_str(), O_RDWR)) {
    if (kind == Flock) {
        ok = flock(fd, LOCK_EX | LOCK_NB) == 0;
    } else {
        struct flock lock {};
        lock.l_type = F_RDLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 10;
        lock.l_len = 1;
        ok = fcntl(fd, F_OFD_SETLK, &lock) == 0;
    }
}

LockHolder::~LockHolder() {
    close(fd);
}

DialogHarness::DialogHarness() : DialogHarness(Options{}) {}

DialogHarness::DialogHarness(Options options)
    : programmer_(std::make_shared<EmulatedProgrammer>(options.flashSize)), drives(programmer_) {
    programmer_->SetFaults(options.faults);
    if (!options.attached) {
        drives.Detach();
    }
    const bool fail = options.notificationsFail;
    transferTestBound = options.transferTestBound;
    auto openChanges = [this, fail]() -> std::unique_ptr<DeviceChangeSource> {
        if (fail) {
            throw std::runtime_error("netlink socket refused");
        }
        auto source = std::make_unique<PipeDeviceChanges>();
        changes = source.get();
        return source;
    };
    dialog_ = std::make_unique<ProgrammerDialog>(
        Services(drives, std::move(openChanges), prompts, diagnostics));
    // The dialog takes its temporary directory from TMPDIR once, while it initialises.
    const QByteArray savedTmp = qgetenv("TMPDIR");
    const bool hadTmp = qEnvironmentVariableIsSet("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp_.path()));
    dialog_->OnInitDialog();
    if (hadTmp) {
        qputenv("TMPDIR", savedTmp);
    } else {
        qunsetenv("TMPDIR");
    }
    dialog_->show();
}

DialogHarness::~DialogHarness() {
    dialog_.reset();
}

void DialogHarness::Plug() {
    drives.Attach();
    changes->Notify();
}

void DialogHarness::Unplug() {
    drives.Detach();
    changes->Notify();
}

void DialogHarness::UnplugQuietly() {
    drives.Detach();
}

void DialogHarness::Send(int command, std::intptr_t lParam) {
    dialog_->WindowProc(MessageRegistry::Process().Register(kMsgToDisplay),
                        static_cast<std::uintptr_t>(command), lParam);
}

void DialogHarness::SendText(const char* text) {
    Send(DISPLAY_TEXT, reinterpret_cast<std::intptr_t>(text));
}

QStringList DialogHarness::LogLines() {
    QStringList lines;
    auto* list = Control<QListWidget>(ids::kLogList);
    for (int i = 0; i < list->count(); ++i) {
        lines << list->item(i)->text();
    }
    return lines;
}

QImage DialogHarness::BarImage() {
    return Control<GradientProgressBar>(ids::kProgressBar)
        ->grab()
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

bool DialogHarness::BarIsSolid(QRgb colour) {
    const QImage image = BarImage();
    const int quarter = image.width() / 4;
    const auto solid = [&](int left) {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = left; x < left + quarter; ++x) {
                if (image.pixel(x, y) != colour) {
                    return false;
                }
            }
        }
        return true;
    };
    return Control<GradientProgressBar>(ids::kProgressBar)->position() == 100 && solid(0) &&
           solid(image.width() - quarter);
}

bool DialogHarness::ShowsIcon(int icon) {
    const QPixmap shown = Control<QLabel>(ids::kStatusIcon)->pixmap();
    return !shown.isNull() && shown.toImage() == AppIcons::Pixmap(icon).toImage();
}

void DialogHarness::ChooseFile(std::optional<QString> answer) {
    prompts.fileAnswers.push_back(std::move(answer));
    dialog_->OnCommand(ids::kSelectFileButton);
}

}  // namespace tarnwick::testing

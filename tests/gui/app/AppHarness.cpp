#include "AppHarness.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <algorithm>
#include <stdexcept>

#include "app/AppIcons.h"
#include "widgets/GradientProgressBar.h"

namespace tarnwick::testing {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::optional<QString> FakePrompts::Ask(const char* dialog) {
    fileDialogs << dialog;
    const QString answer = fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    return answer.isEmpty() ? std::nullopt : std::optional(answer);
}

QAction* FakePrompts::ChooseFromMenu(QMenu& menu, const QPoint&) {
    const QList<QAction*> items = menu.actions();
    const auto chosen = std::ranges::find(items, menuChoice, &QAction::text);
    return chosen == items.end() ? nullptr : *chosen;
}

LockHolder::LockHolder(const std::string& path) : fd(open(path.c_str(), O_RDWR)) {
    ok = flock(fd, LOCK_EX | LOCK_NB) == 0;
}

QStringList LogLines(ProgrammerDialog& dialog) {
    QStringList lines;
    auto* list = dialog.Controls().Get<QListWidget>(ids::kLogList);
    for (int i = 0; i < list->count(); ++i) {
        lines << list->item(i)->text();
    }
    return lines;
}

bool BarIsSolid(ProgrammerDialog& dialog, QRgb colour) {
    auto* bar = dialog.Controls().Get<GradientProgressBar>(ids::kProgressBar);
    const QImage image = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int quarter = image.width() / 4;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < quarter; ++x) {
            if (image.pixel(x, y) != colour || image.pixel(image.width() - 1 - x, y) != colour) {
                return false;
            }
        }
    }
    return bar->position() == 100;
}

bool ShowsIcon(ProgrammerDialog& dialog, int icon) {
    const QPixmap shown = dialog.Controls().Get<QLabel>(ids::kStatusIcon)->pixmap();
    return !shown.isNull() && shown.toImage() == AppIcons::Pixmap(icon).toImage();
}

DialogHarness::DialogHarness() : DialogHarness(Options{}) {}

DialogHarness::DialogHarness(Options options)
    : programmer_(std::make_shared<EmulatedProgrammer>(options.flashSize)), drives(programmer_) {
    programmer_->SetFaults(options.faults);
    if (!options.attached) {
        drives.Detach();
    }
    auto openChanges =
        [this, fail = options.notificationsFail]() -> Result<std::unique_ptr<DeviceChangeSource>> {
        if (fail) {
            return Fail("netlink socket refused");
        }
        auto source = std::make_unique<NotifiedChanges>();
        changes = source.get();
        return source;
    };
    dialog_ = std::make_unique<ProgrammerDialog>(
        Services(drives, std::move(openChanges), prompts, diagnostics));
    // The dialog takes its temporary directory from TMPDIR once, while it initialises.
    const auto tmpdir = SetEnv("TMPDIR", QFile::encodeName(temp_.path()).constData());
    dialog_->OnInitDialog();
    dialog_->show();
}

void DialogHarness::ChooseFile(const QString& answer) {
    prompts.fileAnswers << answer;
    dialog_->OnCommand(ids::kSelectFileButton);
}

}  // namespace tarnwick::testing

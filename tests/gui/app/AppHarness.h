#pragma once

#include <sys/eventfd.h>
#include <unistd.h>

#include <QDialog>
#include <QImage>
#include <QScopeGuard>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "app/DialogServices.h"
#include "app/ProgrammerDialog.h"
#include "app/UserPrompts.h"
#include "emulator/EmulatedDrives.h"
#include "emulator/FaultPlan.h"
#include "link/DeviceChangeSource.h"

namespace tarnwick::testing {

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
// The whole file; empty if it cannot be read.
QByteArray ReadAll(const QString& path);

// Sets (nullptr: unsets) an environment variable of this process until the guard returned goes,
// which puts back what was there: no test leaves its environment to the next.
[[nodiscard]] inline auto SetEnv(const char* name, const char* value) {
    const bool wasSet = qEnvironmentVariableIsSet(name);
    const QByteArray was = qgetenv(name);
    value ? qputenv(name, value) : qunsetenv(name);
    return qScopeGuard([name, wasSet, was] { wasSet ? qputenv(name, was) : qunsetenv(name); });
}

// Answers every prompt at once and remembers what was asked.
class FakePrompts final : public UserPrompts {
  public:
    void ShowMessage(const QString& text) override { messages << text; }
    std::optional<QString> ChooseFileToOpen(const QString&) override { return Ask("open"); }
    std::optional<QString> ChooseNameToOpen(const QString&) override { return Ask("any name"); }
    std::optional<QString> ChooseFileToSave(const QString&) override { return Ask("save"); }
    int RunModal(QDialog& dialog) override {
        modalTitles << dialog.windowTitle();
        return QDialog::Accepted;
    }
    QAction* ChooseFromMenu(QMenu& menu, const QPoint& globalPos) override;

    QStringList messages;
    QStringList fileDialogs;  // "open", "any name" or "save"
    QStringList fileAnswers;  // an empty one, or none left: cancelled
    QStringList modalTitles;  // of every dialog run modally
    QString menuChoice;       // the item to choose; empty: none

  private:
    std::optional<QString> Ask(const char* dialog);
};

// Device changes as the kernel would report them, through an eventfd the dialog polls.
class NotifiedChanges final : public DeviceChangeSource {
  public:
    NotifiedChanges() : fd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~NotifiedChanges() override { ::close(fd); }
    int PollFd() const override { return fd; }
    // What the dialog does with each change is not looked at here.
    std::size_t Dispatch(const DeviceChangeHandler&) override {
        eventfd_t count = 0;
        return eventfd_read(fd, &count) == 0 ? static_cast<std::size_t>(count) : 0;
    }
    void Notify() { eventfd_write(fd, 1); }  // a lost one fails the test waiting for it

  private:
    int fd;
};

// Another holder of the file (flock) for as long as the object lives.
struct LockHolder {
    explicit LockHolder(const std::string& path);
    ~LockHolder() { ::close(fd); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    int fd;
    bool ok = false;
};

// What the dialog shows, as a person would look at it.
QStringList LogLines(ProgrammerDialog& dialog);
// At 100 and in one colour outside the caption in its middle (left and right quarters).
bool BarIsSolid(ProgrammerDialog& dialog, QRgb colour);
bool ShowsIcon(ProgrammerDialog& dialog, int icon);

// The main dialog against the emulated programmer (drive 1), every prompt answered by a fake.
// Its temporary directory is a private one (TMPDIR while the dialog initialises), so what the
// exit clean-up deletes and copies never touches the real one.
class DialogHarness : public DialogSession {
  public:
    struct Options {
        bool attached = true;
        bool notificationsFail = false;
        FaultPlan faults{};
        std::size_t flashSize = 1u << 20;
    };

    DialogHarness();
    explicit DialogHarness(Options options);

    ProgrammerDialog& dialog() { return *dialog_; }
    QString TempDirectory() const { return temp_.path(); }  // without the final '/'
    EmulatedProgrammer& programmer() { return *programmer_; }
    template <typename T>
    T* Control(int id) {
        return dialog_->Controls().Get<T>(id);
    }

    // Plugging and unplugging as the kernel reports it.
    void Plug() { drives.Attach(), changes->Notify(); }
    void Unplug() { drives.Detach(), changes->Notify(); }
    void UnplugQuietly() { drives.Detach(); }  // gone, with no notification
    // Runs the file selection with this answer; an empty one cancels it.
    void ChooseFile(const QString& answer);

    FakePrompts prompts;
    std::ostringstream diagnostics;
    NotifiedChanges* changes = nullptr;  // owned by the dialog

  private:
    QTemporaryDir temp_;
    std::shared_ptr<EmulatedProgrammer> programmer_;
    EmulatedDrives drives;
    std::unique_ptr<ProgrammerDialog> dialog_;
};

}  // namespace tarnwick::testing

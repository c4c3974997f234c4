#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/ProgrammerDialog.h"
#include "app/UserPrompts.h"
#include "emulator/EmulatedDrives.h"
#include "link/DeviceChangeSource.h"

namespace tarnwick::testing {

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
// The whole file; empty if it cannot be read.
QByteArray ReadAll(const QString& path);

// Answers every prompt at once and remembers what was asked.
class FakePrompts final : public UserPrompts {
  public:
    void ShowMessage(const QString& text) override { messages << text; }
    std::optional<QString> ChooseFileToOpen(const QString& f) override { return Ask(f, "open"); }
    std::optional<QString> ChooseNameToOpen(const QString& f) override {
        return Ask(f, "open any name");
    }
    std::optional<QString> ChooseFileToSave(const QString& f) override { return Ask(f, "save"); }
    int RunModal(QDialog& dialog) override;
    QAction* ChooseFromMenu(QMenu& menu, const QPoint& globalPos) override;

    QStringList messages;
    QStringList filters;
    QStringList fileDialogs;                         // "open", "open any name" or "save"
    std::deque<std::optional<QString>> fileAnswers;  // none left: cancelled
    QStringList modalTitles;                         // of every dialog run modally
    QStringList menuItems;                           // of the last menu popped up
    QString menuChoice;                              // the item to choose; empty: none

  private:
    std::optional<QString> Ask(const QString& filter, const char* dialog);
};

// Device changes through a pipe, so a test plays the kernel's hot-plug notifications and the
// dialog receives them through its socket notifier as it would from udev.
class PipeDeviceChanges final : public DeviceChangeSource {
  public:
    PipeDeviceChanges();
    ~PipeDeviceChanges() override;
    int PollFd() const override { return fds[0]; }
    std::size_t Dispatch(const DeviceChangeHandler& onChange) override;
    void Notify();

  private:
    int fds[2] = {-1, -1};
};

// Another holder of the file for as long as the object lives.
class LockHolder {
  public:
    enum Kind { Flock, RecordLock };
    LockHolder(const std::string& path, Kind kind);
    ~LockHolder();
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    bool ok = false;

  private:
    int fd;
};

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
        std::uint64_t transferTestBound = TransferTest::kDefaultBound;
    };

    DialogHarness();
    explicit DialogHarness(Options options);
    ~DialogHarness();

    ProgrammerDialog& dialog() { return *dialog_; }
    // The dialog's temporary directory, without the final '/'.
    QString TempDirectory() const { return temp_.path(); }
    EmulatedProgrammer& programmer() { return *programmer_; }

    template <typename T>
    T* Control(int id) {
        return dialog_->Controls().Get<T>(id);
    }

    // Plugging and unplugging as the kernel reports it.
    void Plug();
    void Unplug();
    // Gone, with no notification sent.
    void UnplugQuietly();

    // A display message through the dialog's window procedure, as a sender on its thread.
    void Send(int command, std::intptr_t lParam = 0);
    void SendText(const char* text);
    QStringList LogLines();
    QImage BarImage();
    // At 100 and in one colour outside the caption in its middle (left and right quarters).
    bool BarIsSolid(QRgb colour);
    bool ShowsIcon(int icon);
    // Runs the file selection with this answer.
    void ChooseFile(std::optional<QString> answer);

    FakePrompts prompts;
    std::ostringstream diagnostics;
    PipeDeviceChanges* changes = nullptr;  // owned by the dialog

  private:
    QTemporaryDir temp_;
    std::shared_ptr<EmulatedProgrammer> programmer_;
    EmulatedDrives drives;
    std::unique_ptr<ProgrammerDialog> dialog_;
};

}  // namespace tarnwick::testing

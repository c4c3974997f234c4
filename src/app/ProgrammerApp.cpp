#include "app/ProgrammerApp.h"

#include <QFile>
#include <exception>
#include <iostream>
#include <memory>

#include "app/AppTexts.h"
#include "app/ProgrammerDialog.h"
#include "app/QtUserPrompts.h"
#include "app/StartOptions.h"
#include "emulator/EmulatedDrives.h"
#include "platform/linux/SessionLock.h"
#include "platform/linux/SysfsDriveProvider.h"
#include "platform/linux/UdevMonitor.h"

namespace tarnwick {

namespace {

// A machine whose drives cannot be listed: the dialog still runs, it just never finds a
// programmer.
class NoDrives final : public DriveProvider {
  public:
    OpenedDrive Open(std::int8_t drive) override {
        OpenedDrive opened;
        opened.missing = true;
        opened.error = DriveName(drive) + ": drives cannot be listed";
        return opened;
    }
    std::string DriveName(std::int8_t drive) const override {
        return SysfsDriveProvider::NodeName(drive);
    }
};

}  // namespace

int ProgrammerApp::InitInstance(const QStringList& arguments) {
    const StartOptions options = StartOptions::Parse(arguments);
    if (!options.error.isEmpty()) {
        std::cerr << "tarnwick: " << options.error.toStdString() << '\n'
                  << StartOptions::Usage().toStdString();
        return 2;
    }

    QtUserPrompts prompts;
    const SessionLock instance = SessionLock::Acquire(texts::kInstanceLockName);
    if (instance.state() == SessionLock::State::HeldElsewhere) {
        std::cerr << "tarnwick: " << texts::kAlreadyRunning << " (" << instance.Path() << ")\n";
        prompts.ShowMessage(QString::fromUtf8(texts::kAlreadyRunning));
        return 0;
    }
    if (instance.state() == SessionLock::State::Unavailable) {
        // Better two copies than none: start as if alone.
        std::cerr << "tarnwick: no single-instance lock: " << instance.Error() << '\n';
    }

    std::shared_ptr<EmulatedProgrammer> emulated;
    std::unique_ptr<DriveProvider> drives;
    const std::string flashFile = QFile::encodeName(options.flashFile).toStdString();
    if (options.emulate) {
        emulated = std::make_shared<EmulatedProgrammer>();
        if (!flashFile.empty() && QFile::exists(options.flashFile)) {
            if (const std::string error = emulated->LoadFlash(flashFile); !error.empty()) {
                std::cerr << "tarnwick: " << error << '\n';
                return 2;
            }
        }
        drives = std::make_unique<EmulatedDrives>(emulated);
    } else {
        try {
            drives = std::make_unique<SysfsDriveProvider>();
        } catch (const std::exception& e) {
            std::cerr << "tarnwick: drives: " << e.what() << '\n';
            prompts.ShowMessage(QString::fromUtf8(texts::kInitError));
            drives = std::make_unique<NoDrives>();
        }
    }

    ProgrammerLink link;
    FirmwarePath firmwarePath;
    ProgrammerFileInfo fileInfo;
    ImageList images;
    Scrambler scrambler;
    {
        ProgrammerDialog dialog(DialogServices{
            .link = link,
            .drives = *drives,
            .firmwarePath = firmwarePath,
            .fileInfo = fileInfo,
            .prompts = prompts,
            .messages = MessageRegistry::Process(),
            .images = images,
            .scrambler = scrambler,
            .openDeviceChanges = [] { return std::make_unique<UdevMonitor>(); },
            .diagnostics = std::cout,
        });
        prompts.SetOwner(&dialog);
        dialog.DoModal();
        prompts.SetOwner(nullptr);
    }

    if (emulated && !flashFile.empty()) {
        if (const std::string error = emulated->SaveFlash(flashFile); !error.empty()) {
            std::cerr << "tarnwick: " << error << '\n';
        }
    }
    return 0;
}

}  // namespace tarnwick

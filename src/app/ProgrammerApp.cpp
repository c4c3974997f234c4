#include "app/ProgrammerApp.h"

#include <iostream>
#include <memory>

#include "app/AppTexts.h"
#include "app/ProgrammerDialog.h"
#include "app/QtUserPrompts.h"
#include "app/StartOptions.h"
#include "app/UiLanguage.h"
#include "backend/Backend.h"
#include "platform/SessionLock.h"

namespace tarnwick {

int ProgrammerApp::InitInstance(const QStringList& arguments) {
    const StartOptions options = StartOptions::Parse(arguments);
    if (!options.error.isEmpty()) {
        std::cerr << "tarnwick: " << options.error.toStdString() << '\n'
                  << StartOptions::Usage().toStdString();
        return 1;
    }

    // Before the first text is shown: the notice of a second copy is in the dialog's language.
    const UiTranslations translations(QLocale::system(), std::cerr);
    QtUserPrompts prompts;
    const SessionLock instance = SessionLock::Acquire(texts::kInstanceLockName);
    if (instance.state() == SessionLock::State::HeldElsewhere) {
        std::cerr << "tarnwick: " << texts::kAlreadyRunning << " (" << instance.Path() << ")\n";
        prompts.ShowMessage(Ui(texts::kAlreadyRunning));
        return 0;
    }
    if (instance.state() == SessionLock::State::Unavailable) {
        // Better two copies than none: start as if alone.
        std::cerr << "tarnwick: no single-instance lock: "
                  << (instance.Why() ? instance.Why()->Describe() : std::string()) << '\n';
    }

    // The emulated programmer as it comes: default size, no faults.
    BackendChoice choice;
    choice.emulate = options.emulate;
    choice.emulator.flashFile = options.flashFile.toStdString();
    Result<std::unique_ptr<Backend>> backend = Backend::Open(choice);
    if (!backend) {
        std::cerr << "tarnwick: " << backend.error().Describe() << '\n';
        if (options.emulate) {
            return 2;
        }
        // Without the machine's drives the dialog still runs; it just never finds a programmer.
        prompts.ShowMessage(Ui(texts::kInitError));
        backend = Backend::WithoutDrives();
    }

    DialogSession session;
    {
        ProgrammerDialog dialog(session.Services((*backend)->Drives(), &Backend::OpenDeviceChanges,
                                                 prompts, std::cout));
        prompts.SetOwner(&dialog);
        dialog.DoModal();
        prompts.SetOwner(nullptr);
    }

    if (const Result<void> closed = (*backend)->Close(); !closed) {
        std::cerr << "tarnwick: " << closed.error().Describe() << '\n';
    }
    return 0;
}

}  // namespace tarnwick

#include "app/ProgrammerDialog.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <exception>
#include <iostream>
#include <memory>

#include "app/AboutBox.h"
#include "app/AppIcons.h"
#include "app/AppTexts.h"
#include "app/DataExchange.h"
#include "app/DeviceChangeNotifier.h"
#include "app/DialogLayout.h"
#include "app/ExitCleanup.h"
#include "app/StatusToolTip.h"
#include "app/UiLanguage.h"
#include "app/UpdateToolPrompts.h"
#include "app/WindowMessages.h"
#include "jobs/ReadBack.h"
#include "jobs/TransferTest.h"
#include "service/UpdateTool.h"
#include "widgets/GradientProgressBar.h"

namespace tarnwick {

namespace {

constexpr const char* kReadBackJob = "the flash read-back";
constexpr const char* kTransferTestJob = "the transfer test";

}  // namespace

ProgrammerDialog::ProgrammerDialog(DialogServices dialogServices, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      services(std::move(dialogServices)),
      msgToDisplay(services.messages.Register(kMsgToDisplay)),
      msgDisplayInfo(services.messages.Register(kMsgDisplayInfo)),
      controls(DialogLayout::Build(*this, MainDialogTemplate())),
      updateButton(controls.Get<QPushButton>(ids::kUpdateButton)),
      logList(controls.Get<QListWidget>(ids::kLogList)),
      progressBar(controls.Get<GradientProgressBar>(ids::kProgressBar)),
      statusIcon(controls.Get<QLabel>(ids::kStatusIcon)),
      pathEdit(controls.Get<QLineEdit>(ids::kPathEdit)),
      lengthEdit(controls.Get<QLineEdit>(ids::kLengthEdit)),
      display(*this, controls, services.fileInfo),
      discovery(services.link, services.drives,
                [this](const ProgrammerPresence& presence) { ShowPresence(presence); }),
      fileSelection(services.prompts, services.firmwarePath),
      jobs(services.link, services.firmwarePath, channel, channel, services.diagnostics) {
    // Known by number to outside senders, never handled; registered so no other name gets it.
    services.messages.Register(kMsgFileInfo);
    for (const auto& [id, widget] : controls.All()) {
        auto* button = qobject_cast<QPushButton*>(widget);
        if (const Handler handler = CommandHandler(id); button != nullptr && handler != nullptr) {
            connect(button, &QPushButton::clicked, this, handler);
        }
    }
}

ProgrammerDialog::~ProgrammerDialog() {
    StopWorker();
}

int ProgrammerDialog::DoModal() {
    OnInitDialog();
    return exec();
}

void ProgrammerDialog::OnInitDialog() {
    UpdateData(false);
    services.fileInfo.version[0] = 0;
    // The About item lives in the context menu (window managers keep their menus to
    // themselves); nothing to add here.
    if (!RegisterDeviceNotify()) {
        services.prompts.ShowMessage(Ui(texts::kInitError));
    }
    tempDirectory = QDir::tempPath().toStdString() + "/";
    setWindowIcon(AppIcons::Icon(kIconApplication));
    SetStatusIcon(kIconNoProgrammer);
    services.link.Clear();
    channel.Bind(
        this,
        [this](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
            return WindowProc(message, wParam, lParam);
        },
        [this](const DisplayMessage& message) { ApplyDisplayMessage(*this, message); },
        [this](const char* text) { services.prompts.ShowMessage(Ui(text)); });
    discovery.Rescan();
    progressBar->SetRange(0, 100);
    progressBar->SetPos(0);
    PublishBar();
    services.fileInfo.chipModel.clear();
    pathEdit->setFocus(Qt::OtherFocusReason);
}

bool ProgrammerDialog::RegisterDeviceNotify() {
    if (!services.openDeviceChanges) {
        return false;
    }
    Result<std::unique_ptr<DeviceChangeSource>> opened = services.openDeviceChanges();
    if (!opened) {
        std::cerr << "tarnwick: device notifications: " << opened.error().Describe() << '\n';
        return false;
    }
    deviceChanges = std::move(*opened);
    deviceNotifier = WatchDeviceChanges(*deviceChanges, [this] { OnDeviceNotification(); });
    if (!deviceNotifier) {
        std::cerr << "tarnwick: device notifications: nothing to wait on\n";
        deviceChanges.reset();
        return false;
    }
    return true;
}

void ProgrammerDialog::OnDeviceNotification() {
    // All pending changes are one device-change message: a hub with several devices plugged in
    // is one scan, not one per device.
    if (deviceChanges->Dispatch([](const DeviceChange&) {}) > 0) {
        discovery.Rescan();
    }
}

std::intptr_t ProgrammerDialog::WindowProc(unsigned message, std::uintptr_t wParam,
                                           std::intptr_t lParam) {
    if (message == kWmDeviceChange) {
        discovery.Rescan();
        return 1;
    }
    if (message == msgToDisplay) {
        display.OnDisplayCommand(wParam, lParam);
    } else if (message == msgDisplayInfo) {
        display.OnFileInfo();
    }
    return DefWindowProc(message, wParam, lParam);
}

std::intptr_t ProgrammerDialog::DefWindowProc(unsigned message, std::uintptr_t wParam,
                                              std::intptr_t) {
    if (message == kWmCommand) {
        return OnCommand(static_cast<int>(wParam & 0xFFFF)) ? 0 : 1;
    }
    if (message == kWmSysCommand) {
        OnSysCommand(static_cast<unsigned>(wParam));
    }
    return 0;
}

ProgrammerDialog::Handler ProgrammerDialog::CommandHandler(int id) {
    switch (id) {
        case ids::kUpdateButton:
            return &ProgrammerDialog::OnUpdateFile;
        case ids::kSelectFileButton:
            return &ProgrammerDialog::OnSelectFile;
        case ids::kReadFileButton:
            return &ProgrammerDialog::OnReadFile;
        case ids::kTransferTestButton:
            return &ProgrammerDialog::OnTransferTest;
        case ids::kCmdExit:
            return &ProgrammerDialog::OnOK;
        case ids::kCmdUpdateTool:
            return &ProgrammerDialog::OnUpdateTool;
        case ids::kScramblerButton:
            return &ProgrammerDialog::OnScramblerSelfTest;
        default:
            return nullptr;
    }
}

bool ProgrammerDialog::OnCommand(int id) {
    const Handler handler = CommandHandler(id);
    if (handler == nullptr) {
        return false;
    }
    (this->*handler)();
    return true;
}

void ProgrammerDialog::OnSysCommand(unsigned command) {
    if ((command & 0xFFF0u) == kSysCommandAbout) {
        OnAbout();
    } else if ((command & 0xFFF0u) == kSysCommandClose) {
        close();
    }
}

bool ProgrammerDialog::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        return DataExchange::FromControls(data, *pathEdit, *lengthEdit, services.prompts);
    }
    DataExchange::ToControls(data, *pathEdit, *lengthEdit);
    return true;
}

void ProgrammerDialog::OnUpdateFile() {
    // One job drives the programmer at a time; a press while one waits or runs is ignored.
    if (!jobs.MayStart("the programming job")) {
        return;
    }
    controls.SetText(ids::kInfoGroup, Ui(texts::kFileProgrammed));
    jobs.Start();
}

void ProgrammerDialog::OnSelectFile() {
    // A running job has opened its file: a new choice would show one file while the job
    // writes, and reports done for, another. A waiting job is left the file it was started
    // with. The press is ignored, like the update button's.
    if (jobs.Busy()) {
        std::cerr << "tarnwick: choosing a file is refused while a job waits or runs\n";
        return;
    }
    if (fileSelection.Choose(data) == FileSelection::Outcome::Chosen) {
        UpdateData(false);
    }
}

void ProgrammerDialog::OnOK() {
    if (UpdateData(true)) {
        accept();
    }
}

void ProgrammerDialog::OnReadFile() {
    // Refused before the person names a file that would then not be written.
    if (!jobs.MayStart(kReadBackJob)) {
        return;
    }
    const auto chosen = services.prompts.ChooseFileToSave(Ui(texts::kReadBackFilter));
    if (!chosen) {
        return;
    }
    auto readBack = std::make_shared<FlashReadBack>();
    const ReadBackResult opened = readBack->Open(services.link.Device(), chosen->toStdString());
    if (opened.ending != ReadBackEnding::Success) {
        // A file that cannot be made is told; no programmer, or one that did not answer, is
        // not (and no file was made for it).
        std::cerr << "tarnwick: flash read-back: "
                  << (opened.fault ? opened.fault->Describe() : std::string()) << '\n';
        if (const char* message = ReadBackMessage(opened.ending)) {
            services.prompts.ShowMessage(Ui(message));
        }
        return;
    }
    UpdateData(true);  // a length that is no integer has been told; the last one stands
    const std::int64_t length = data.fileLength;
    MessageBoxSink& notices = channel;
    const bool started =
        jobs.StartService(kReadBackJob, [readBack, length, &notices](std::stop_token stop) {
            const ReadBackResult result = readBack->ReadPages(length, nullptr, stop);
            if (result.ending == ReadBackEnding::Success) {
                return;
            }
            // A stop comes only with the application's exit and has no message; either way
            // the partial file is gone.
            std::cerr << "tarnwick: flash read-back: "
                      << (result.fault ? result.fault->Describe() : std::string()) << '\n';
            if (const char* message = ReadBackMessage(result.ending)) {
                notices.ShowMessage(message);
            }
        });
    if (!started) {
        // Only this thread starts jobs, so this should not happen; if it does, the file made
        // above must not stay behind empty, and a read stopped at once removes it.
        std::stop_source stopped;
        stopped.request_stop();
        readBack->ReadPages(kPageSize, nullptr, stopped.get_token());
    }
}

void ProgrammerDialog::OnTransferTest() {
    std::shared_ptr<PassThrough> device = services.link.Device();
    if (!device) {
        return;
    }
    DisplaySink& sink = channel;
    const std::uint64_t bound = services.transferTestBound;
    jobs.StartService(kTransferTestJob, [device = std::move(device), bound,
                                         &sink](std::stop_token stop) {
        const TransferTestResult result = TransferTest(sink).Run(device, bound, stop);
        if (result.started) {
            std::cerr << "tarnwick: transfer test: " << result.cycles << " cycles, "
                      << result.statusErrors << " with a bad write status, " << result.compareErrors
                      << " read back different" << (result.cancelled ? " (stopped)" : "") << '\n';
        }
    });
}

void ProgrammerDialog::OnUpdateTool() {
    UpdateToolPrompts ui(services.prompts, data, [this] { UpdateData(false); });
    RunUpdateTool(services.images, ui);
}

void ProgrammerDialog::OnScramblerSelfTest() {
    // Its only lasting effect is where it leaves the application's scrambler.
    services.scrambler.RunSelfTest();
}

void ProgrammerDialog::OnAbout() {
    AboutBox about(this);
    services.prompts.RunModal(about);
}

void ProgrammerDialog::done(int code) {
    QDialog::done(code);  // hides the window and ends the modal run
    EndRun();
}

void ProgrammerDialog::EndRun() {
    if (ended) {
        return;
    }
    ended = true;
    StopWorker();
    DestroyWindow();
}

void ProgrammerDialog::StopWorker() {
    // In this order: a worker sleeping in a send is released and no further send blocks, the
    // worker is told to stop, and only then is it waited for. Waiting first could hang both
    // threads: the worker waiting for this thread, this thread for the worker.
    channel.Close();
    jobs.StopAndJoin();
}

void ProgrammerDialog::DestroyWindow() {
    // The window is hidden already and the worker joined, so a read-back cannot still be
    // writing a file that is copied here.
    ExitCleanup::Run(tempDirectory, data.pathText.toStdString(), services.fileInfo.version);
}

void ProgrammerDialog::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape reached the focused control first; here they would press the default
    // button or cancel the dialog, which they must never do.
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void ProgrammerDialog::contextMenuEvent(QContextMenuEvent* event) {
    const QString item = Ui(texts::kAboutMenuItem);
    if (item.isEmpty()) {
        return;
    }
    QMenu menu(this);
    QAction* about = menu.addAction(item);
    if (services.prompts.ChooseFromMenu(menu, event->globalPos()) == about) {
        OnAbout();
    }
}

int ProgrammerDialog::LogLineCount() const {
    return logList->count();
}

void ProgrammerDialog::DeleteLogLine(int index) {
    delete logList->takeItem(index);
}

void ProgrammerDialog::AppendLogLine(std::string_view text) {
    // A job's texts are its exact bytes; the person reads them in the dialog's language.
    logList->addItem(Ui(text));
}

void ProgrammerDialog::SetBarColours(BarColours colours) {
    progressBar->SetColours(colours.start, colours.end);
    PublishBar();
}

void ProgrammerDialog::SetBarPos(int pos) {
    progressBar->SetPos(pos);
    PublishBar();
}

void ProgrammerDialog::PublishBar() {
    const BarColours shown{progressBar->startColor(), progressBar->endColor()};
    channel.SetShownProgress(shown == kWorkingColours ? std::optional(progressBar->position())
                                                      : std::nullopt);
}

void ProgrammerDialog::EnableUpdateButton(bool enabled) {
    updateButton->setEnabled(enabled);
}

void ProgrammerDialog::ShowPresence(const ProgrammerPresence& presence) {
    updateButton->setEnabled(presence.has_value());
    if (presence) {
        SetStatusIcon(kIconProgrammerPresent);
        // Through the channel like a job's command: once it has closed, the bar stays.
        channel.Progress(0);
    } else {
        SetStatusIcon(kIconNoProgrammer);
        ClearLog(*this);
    }
    statusIcon->setToolTip(StatusToolTip(presence));
}

void ProgrammerDialog::SetStatusIcon(int icon) {
    statusIcon->setPixmap(AppIcons::Pixmap(icon));
}

}  // namespace tarnwick

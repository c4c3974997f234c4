#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <string>

#include "app/DialogControls.h"
#include "app/DialogData.h"
#include "app/DialogServices.h"
#include "app/DialogTemplate.h"
#include "app/DisplayChannel.h"
#include "app/DisplayHandler.h"
#include "app/FileSelection.h"
#include "app/JobStarter.h"
#include "display/DisplayEffects.h"
#include "link/ProgrammerDiscovery.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tarnwick {

class GradientProgressBar;

// The main window. It holds the controls and routes what happens to the collaborators that do
// the work: device changes to discovery, display messages to the display handler, the buttons
// and commands to file selection, the job starter (the programming job and the read-back and
// transfer test, one at a time on one worker), the image list, the scrambler and, at the end,
// the exit clean-up.
//
// Everything here runs on the dialog's thread. Workers reach it only through Display() and
// Notices(), which block until the dialog has handled what they sent, and which the dialog
// closes before it waits for the worker at the end of the run.
class ProgrammerDialog final : public QDialog, public DisplayTarget {
    Q_OBJECT

  public:
    explicit ProgrammerDialog(DialogServices services, QWidget* parent = nullptr);
    ~ProgrammerDialog() override;

    // Initialises and runs the dialog modally; returns how it ended.
    int DoModal();
    // Device notifications, icons, first programmer scan, bar range. Once, before showing.
    void OnInitDialog();

    // The window procedure, for senders that know the dialog by message numbers: device
    // changes first, then the registered display messages, then commands and system commands.
    // The dialog's own controls and workers call the handlers directly instead.
    std::intptr_t WindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    // A control's click or a menu command, by id. False for an unknown id.
    bool OnCommand(int id);
    // 0x0010..0x001F: the About box; SC_CLOSE: ends the dialog.
    void OnSysCommand(unsigned command);
    // Values to the edits (false) or back from them (true; false when the length is no
    // integer).
    bool UpdateData(bool saveAndValidate);

    // For workers: the synchronous way to the dialog.
    DisplaySink& Display() { return channel; }
    MessageBoxSink& Notices() { return channel; }

    const DialogData& Data() const { return data; }
    const DialogControls& Controls() const { return controls; }
    const JobStarter& Jobs() const { return jobs; }

    // Ends the modal run the one way every close takes: cancel, OK, the title bar's button.
    void done(int code) override;

    // DisplayTarget, on the real controls.
    int LogLineCount() const override;
    void DeleteLogLine(int index) override;
    void AppendLogLine(std::string_view text) override;
    void SetBarColours(BarColours colours) override;
    void SetBarPos(int pos) override;
    void EnableUpdateButton(bool enabled) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    using Handler = void (ProgrammerDialog::*)();
    // The handler of a control or menu command; nullptr for an unknown id.
    static Handler CommandHandler(int id);

    // Command handlers.
    void OnUpdateFile();
    void OnSelectFile();
    void OnOK();
    void OnReadFile();
    void OnTransferTest();
    void OnUpdateTool();
    void OnScramblerSelfTest();
    void OnAbout();

    // Present: update button on, icon 129, bar to 0. None: button off, icon 130, log emptied.
    void ShowPresence(const ProgrammerPresence& presence);
    void SetStatusIcon(int icon);
    // Tells the channel what the bar shows now, so a worker's progress that would change
    // nothing is not handed over.
    void PublishBar();

    std::intptr_t DefWindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    bool RegisterDeviceNotify();
    void OnDeviceNotification();
    // The end of the run, with the window already hidden; exactly once.
    void EndRun();
    // Releases and stops the worker, then waits for it; harmless when there is none.
    void StopWorker();
    // Exit clean-up, just before the window goes.
    void DestroyWindow();

    DialogServices services;
    // The registered display messages' numbers, looked up once.
    const unsigned msgToDisplay;
    const unsigned msgDisplayInfo;
    DialogControls controls;
    QPushButton* updateButton;
    QListWidget* logList;
    GradientProgressBar* progressBar;
    QLabel* statusIcon;
    QLineEdit* pathEdit;
    QLineEdit* lengthEdit;

    DialogData data;
    std::string tempDirectory;  // ends in '/'; read by the exit clean-up

    DisplayChannel channel;
    DisplayHandler display;
    ProgrammerDiscovery discovery;
    FileSelection fileSelection;
    std::unique_ptr<DeviceChangeSource> deviceChanges;
    std::unique_ptr<QObject> deviceNotifier;
    bool ended = false;
    JobStarter jobs;  // last: its worker is joined before the rest goes
};

}  // namespace tarnwick

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "display/DisplaySink.h"

class QObject;

namespace tarnwick {

// The way from any thread to the dialog: display commands, notices and, for senders that know
// the dialog by message numbers, its window procedure. A send from the dialog's own thread is a
// direct call; from another thread it is queued to the dialog's thread and the sender sleeps
// until it has been handled, so a text buffer the sender reuses at once has already been read.
// A progress command that would leave the bar as it is returns at once: a job reports every
// page, and most pages do not move the bar.
//
// Close() ends the channel for good: sends return at once without effect from then on, and a
// sender sleeping in a send is woken and returns too. The dialog closes the channel before it
// waits for a worker, so a worker blocked in a send can never hold up the end of the program.
// After Close() has returned on the dialog's thread, no queued call runs any more.
//
// Send, ShowMessage and SendMessage: any thread; block until handled (or closed). Bind, Close
// and SetShownProgress: the dialog's thread. Nothing throws; a send before Bind or after Close
// is dropped and yields 0.
class DisplayChannel final : public DisplaySink, public MessageBoxSink {
  public:
    using WindowProcedure = std::function<std::intptr_t(unsigned, std::uintptr_t, std::intptr_t)>;
    using Display = std::function<void(const DisplayMessage& message)>;
    using Notice = std::function<void(const char* text)>;

    DisplayChannel();
    ~DisplayChannel() override;
    DisplayChannel(const DisplayChannel&) = delete;
    DisplayChannel& operator=(const DisplayChannel&) = delete;

    // `window` lives on the dialog's thread and outlives the channel's open state; queued
    // calls are delivered through it. `procedure` handles numbered messages, `display` display
    // commands; `notice` shows a message box (it must copy the text before it runs a nested
    // event loop).
    void Bind(QObject* window, WindowProcedure procedure, Display display, Notice notice);
    void Close();
    bool Closed() const;

    std::intptr_t SendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    void Send(const DisplayMessage& message) override;
    void ShowMessage(const char* text) override;

    // The bar's position while it shows the working colours; none while it shows anything
    // else. Told after every change of the bar.
    void SetShownProgress(std::optional<int> position);

  private:
    struct State;
    // Runs `work` on the dialog's thread and waits for it; false when it was dropped.
    bool RunOnDialogThread(std::function<void()> work);

    std::shared_ptr<State> state;
};

}  // namespace tarnwick

#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <ostream>

#include "display/DisplaySink.h"
#include "jobs/ProgramJob.h"

namespace tarnwick::cli {

// The command line's display: job messages as lines, progress as a redrawn bar on a terminal
// or as a plain line every 10 % otherwise. Any thread; each call returns once written.
class ConsoleDisplay : public DisplaySink, public MessageBoxSink, public ProgressObserver {
  public:
    // `progress` false: messages only (-q).
    ConsoleDisplay(std::ostream& out, bool terminal, int columns = 80, bool progress = true);

    void Send(const DisplayMessage& message) override;
    void ShowMessage(const char* text) override;
    void PageConfirmed(std::uint64_t bytesDone, std::uint64_t totalBytes) override;

    // A line of the front end's own, printed without tearing the bar.
    void Line(const std::string& text);
    // Leaves the bar (if any) finished on its own line.
    void Finish();

  private:
    void ClearBar();
    void DrawBar(bool force);

    std::mutex mutex;
    std::ostream& out;
    const bool terminal;
    const int columns;
    const bool showProgress;
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point lastDraw;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    int lastTenth = -1;
    bool barShown = false;
    bool completed = false;  // the bar reached its end and was left on its own line
};

}  // namespace tarnwick::cli

#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <ostream>
#include <string>

#include "display/DisplaySink.h"
#include "jobs/ProgramJob.h"

namespace tarnwick::cli {

// The display of jobs on several programmers at once. On a terminal every programmer has a
// line of its own at the bottom, redrawn in place (at most ten times a second), and messages
// scroll above them; piped, every message and every tenth of the progress is a line of its
// own, tagged with the programmer. Any thread.
class ProgressBoard {
  public:
    // `progress` false: messages and states only (-q).
    ProgressBoard(std::ostream& out, bool terminal, int columns = 80, bool progress = true);

    // One programmer's part of the board: the job's display, message boxes and progress.
    class Row : public DisplaySink, public MessageBoxSink, public ProgressObserver {
      public:
        void Send(const DisplayMessage& message) override;
        void ShowMessage(const char* text) override;
        void PageConfirmed(std::uint64_t done, std::uint64_t total) override;

        // A line of the front end's own about this programmer.
        void Line(const std::string& text);
        // The progress that follows counts its own rate; `state` stands in the line until then.
        void NextPhase(std::string state);
        // Leaves `state` in the programmer's line ("written", "write failed", ...).
        void Ended(std::string state);

      private:
        friend class ProgressBoard;
        Row(ProgressBoard& board, std::string tag);

        ProgressBoard& board;
        const std::string tag;
        std::string state;  // shown instead of the bar while there is no progress
        std::chrono::steady_clock::time_point phaseStarted = std::chrono::steady_clock::now();
        std::uint64_t done = 0;
        std::uint64_t total = 0;
        int lastTenth = -1;
    };

    // A new line at the bottom; it stays until the board goes.
    Row& AddRow(std::string tag, std::string state);
    // A line above the programmers' lines.
    void Line(const std::string& text);
    // Draws the programmers' lines as they are now, once more.
    void Finish();

  private:
    void Message(const Row& row, const std::string& text);
    void Progress(Row& row, std::uint64_t done, std::uint64_t total);
    void SetState(Row& row, std::string state);
    std::string RowText(const Row& row) const;
    // Moves up over the drawn lines, prints `above` (if any) and draws every row again.
    void Redraw(const std::string* above);

    std::mutex mutex;
    std::ostream& out;
    const bool terminal;
    const int columns;
    const bool showProgress;
    std::deque<Row> rows;  // a deque keeps every Row where it is while rows are added
    std::size_t drawn = 0;
    std::chrono::steady_clock::time_point lastDraw;
};

}  // namespace tarnwick::cli

#include "cli/ConsoleDisplay.h"

#include "cli/JobLanguage.h"
#include "cli/OwnLines.h"
#include "cli/ProgressLine.h"

namespace tarnwick::cli {

namespace {
// A terminal redraw costs far more than a page on a fast programmer; people see 10 a second.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
}  // namespace

ConsoleDisplay::ConsoleDisplay(std::ostream& output, bool isTerminal, int width, bool progress)
    : out(output),
      terminal(isTerminal),
      columns(width),
      showProgress(progress),
      started(std::chrono::steady_clock::now()) {}

void ConsoleDisplay::Send(const DisplayMessage& message) {
    if (message.command == DISPLAY_TEXT && message.text != nullptr) {
        Line(JobLine(message.text));
    } else if (message.command == DISPLAY_RESET) {
        std::lock_guard lock(mutex);
        started = std::chrono::steady_clock::now();
        done = total = 0;
        lastTenth = -1;
        completed = false;
    }
    // Progress comes with bytes through PageConfirmed; the button and the bar colours have no
    // counterpart here: the front end prints the outcome itself.
}

void ConsoleDisplay::ShowMessage(const char* text) {
    Line(JobLine(text));
}

void ConsoleDisplay::PageConfirmed(std::uint64_t bytesDone, std::uint64_t totalBytes) {
    std::lock_guard lock(mutex);
    done = bytesDone;
    total = totalBytes;
    if (!showProgress) {
        return;
    }
    if (terminal) {
        if (bytesDone < totalBytes) {
            DrawBar(false);
        } else if (!completed) {
            // Complete: left on its own line, and not drawn again under the lines that follow.
            DrawBar(true);
            out << '\n' << std::flush;
            barShown = false;
            completed = true;
        }
        return;
    }
    const int tenth = TenthDone(bytesDone, totalBytes);
    if (tenth != lastTenth) {
        lastTenth = tenth;
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
        out << Say("progress {1}", {FormatProgressLine(done, total, elapsed, 0)}) << '\n'
            << std::flush;
    }
}

void ConsoleDisplay::Line(const std::string& text) {
    std::lock_guard lock(mutex);
    ClearBar();
    out << text << '\n';
    if (barShown) {
        DrawBar(true);
    }
    out << std::flush;
}

void ConsoleDisplay::Finish() {
    std::lock_guard lock(mutex);
    if (barShown) {
        DrawBar(true);
        out << '\n' << std::flush;
        barShown = false;
    }
    // The next phase (a verify after the write) measures its rate from here.
    started = std::chrono::steady_clock::now();
    done = total = 0;
    lastTenth = -1;
    completed = false;
}

void ConsoleDisplay::ClearBar() {
    if (barShown) {
        out << "\r\033[K";
    }
}

void ConsoleDisplay::DrawBar(bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && barShown && now - lastDraw < kRedrawInterval) {
        return;
    }
    lastDraw = now;
    const std::chrono::duration<double> elapsed = now - started;
    out << '\r' << FormatProgressLine(done, total, elapsed, columns) << "\033[K" << std::flush;
    barShown = true;
}

}  // namespace tarnwick::cli

#include "cli/ProgressBoard.h"

#include "cli/JobLanguage.h"
#include "cli/OwnLines.h"
#include "cli/ProgressLine.h"

namespace tarnwick::cli {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

ProgressBoard::ProgressBoard(std::ostream& out_, bool terminal_, int columns_, bool progress)
    : out(out_), terminal(terminal_), columns(columns_), showProgress(progress) {}

ProgressBoard::Row::Row(ProgressBoard& board_, std::string tag_)
    : board(board_), tag(std::move(tag_)) {}

void ProgressBoard::Row::Send(const DisplayMessage& message) {
    if (message.command == DISPLAY_TEXT && message.text != nullptr) {
        Line(JobLine(message.text));
    }
}

void ProgressBoard::Row::ShowMessage(const char* text) {
    Line(JobLine(text));
}

void ProgressBoard::Row::PageConfirmed(std::uint64_t bytesDone, std::uint64_t totalBytes) {
    board.Progress(*this, bytesDone, totalBytes);
}

void ProgressBoard::Row::Line(const std::string& text) {
    board.Message(*this, text);
}

void ProgressBoard::Row::NextPhase(std::string newState) {
    std::lock_guard lock(board.mutex);
    phaseStarted = std::chrono::steady_clock::now();
    done = total = 0;
    lastTenth = -1;
    state = std::move(newState);
}

void ProgressBoard::Row::Ended(std::string endState) {
    board.SetState(*this, std::move(endState));
}

ProgressBoard::Row& ProgressBoard::AddRow(std::string tag, std::string state) {
    std::lock_guard lock(mutex);
    Row& row = rows.emplace_back(Row(*this, std::move(tag)));
    row.state = std::move(state);
    if (terminal) {
        Redraw(nullptr);
    }
    return row;
}

void ProgressBoard::Line(const std::string& text) {
    std::lock_guard lock(mutex);
    if (terminal) {
        Redraw(&text);
    } else {
        out << text << '\n' << std::flush;
    }
}

void ProgressBoard::Finish() {
    std::lock_guard lock(mutex);
    if (terminal) {
        Redraw(nullptr);
    }
}

void ProgressBoard::Message(const Row& row, const std::string& text) {
    const std::string line = "[" + row.tag + "] " + text;
    std::lock_guard lock(mutex);
    if (terminal) {
        Redraw(&line);
    } else {
        out << line << '\n' << std::flush;
    }
}

void ProgressBoard::Progress(Row& row, std::uint64_t done, std::uint64_t total) {
    if (!showProgress) {
        return;
    }
    std::lock_guard lock(mutex);
    row.done = done;
    row.total = total;
    row.state.clear();
    const auto now = std::chrono::steady_clock::now();
    if (terminal) {
        if (done >= total || now - lastDraw >= kRedrawInterval) {
            Redraw(nullptr);
        }
        return;
    }
    const int tenth = TenthDone(done, total);
    if (tenth != row.lastTenth) {
        row.lastTenth = tenth;
        out << "[" << row.tag << "] "
            << Say("progress {1}", {FormatProgressLine(done, total, now - row.phaseStarted, 0)})
            << '\n'
            << std::flush;
    }
}

void ProgressBoard::SetState(Row& row, std::string state) {
    std::lock_guard lock(mutex);
    row.state = std::move(state);
    if (terminal) {
        Redraw(nullptr);
    } else {
        out << "[" << row.tag << "] " << row.state << '\n' << std::flush;
    }
}

std::string ProgressBoard::RowText(const Row& row) const {
    const std::string tag = "[" + row.tag + "] ";
    const int width = std::max(columns - static_cast<int>(tag.size()), 20);
    if (!row.state.empty()) {
        return tag + CutColumns(row.state, width);
    }
    return tag + FormatProgressLine(row.done, row.total,
                                    std::chrono::steady_clock::now() - row.phaseStarted, width);
}

void ProgressBoard::Redraw(const std::string* above) {
    lastDraw = std::chrono::steady_clock::now();
    if (drawn > 0) {
        out << "\033[" << drawn << "A";  // back to the first programmer's line
    }
    if (above != nullptr) {
        out << '\r' << *above << "\033[K\n";
    }
    for (const Row& row : rows) {
        out << '\r' << RowText(row) << "\033[K\n";
    }
    drawn = rows.size();
    out << std::flush;
}

}  // namespace tarnwick::cli

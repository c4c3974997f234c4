#include "cli/Terminal.h"

#include "platform/Console.h"

namespace tarnwick::cli {

bool ProgressIsOnTerminal() {
    return ErrorIsTerminal();
}

int TerminalColumns() {
    const int columns = ErrorColumns();
    return columns > 0 ? columns : 80;
}

void CatchInterrupts() {
    tarnwick::CatchInterrupts();
}

bool Interrupted() {
    return tarnwick::InterruptCount() != 0;
}

int InterruptCount() {
    return tarnwick::InterruptCount();
}

void WithInterruptsBlocked(const std::function<void()>& start) {
    tarnwick::WithInterruptsBlocked(start);
}

}  // namespace tarnwick::cli

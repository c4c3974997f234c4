#pragma once

#include <functional>

namespace tarnwick::cli {

// Progress and the running lines go to standard error: whether that is a terminal, and its
// width.
bool ProgressIsOnTerminal();
int TerminalColumns();

// Ctrl-C and SIGTERM set a flag instead of killing the process, so a job can stop between
// pages and say so. Called first thing in main, so that no signal finds the default action.
void CatchInterrupts();
bool Interrupted();
// How many have come: a second one means "now".
int InterruptCount();

// Runs `start` with Ctrl-C and SIGTERM blocked, so that the threads it creates inherit the
// block and leave both signals to the calling thread: a signal landing on a worker would cut
// its system call short (EINTR) and turn an interrupt into a failed page.
void WithInterruptsBlocked(const std::function<void()>& start);

}  // namespace tarnwick::cli

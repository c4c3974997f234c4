#pragma once

#include <atomic>

namespace tarnwick::cli {

bool StdoutIsTerminal();
int TerminalColumns();

// Ctrl-C and SIGTERM set this instead of killing the process, so a job can stop between
// pages and say so.
void CatchInterrupts();
bool Interrupted();

}  // namespace tarnwick::cli

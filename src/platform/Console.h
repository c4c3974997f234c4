#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick {

class DeviceChangeSource;

// The console a command-line program runs in, as this system offers it; each system's folder
// below has its own definitions, chosen by the build.

// Readies the console for UTF-8 text and the progress line's escape sequences; where the
// terminal takes both already there is nothing to do.
void PrepareConsole();
// The program's arguments in UTF-8, the program's name first. Windows hands main() its
// arguments in the code page of the moment, which cannot hold every file name.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
// Whether standard error is a terminal (a console window on Windows), and its width in
// columns; 0 when it is not known.
bool ErrorIsTerminal();
int ErrorColumns();
// This machine's name, for records; empty when the system will not tell.
std::string HostName();

// Ctrl-C (and SIGTERM where there are signals) counted instead of ending the process.
void CatchInterrupts();
int InterruptCount();
// Runs `start` so that the threads it creates leave interrupts to the calling thread.
void WithInterruptsBlocked(const std::function<void()>& start);

// What the main thread sleeps on while a job runs on a worker: the worker's end (Notify, from
// any thread), a device change, or an interrupt.
class MainThreadWake {
  public:
    MainThreadWake();
    ~MainThreadWake();
    MainThreadWake(const MainThreadWake&) = delete;
    MainThreadWake& operator=(const MainThreadWake&) = delete;

    void Notify();
    // Waits up to `timeout` for Notify, an interrupt, or a change waiting in `changes` (none
    // when null). True when `changes` has changes to dispatch.
    bool Wait(DeviceChangeSource* changes, std::chrono::milliseconds timeout);

  private:
    struct State;
    std::unique_ptr<State> state;
};

}  // namespace tarnwick

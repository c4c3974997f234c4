#include "platform/Console.h"

#include <windows.h>

#include <shellapi.h>

#include <atomic>

#include "platform/windows/DiskChangeSource.h"

namespace tarnwick {

namespace {

std::atomic<int> interrupts{0};

// Set by every Ctrl-C; auto-reset, so one that comes between the look at the count and the wait
// still ends the wait.
HANDLE InterruptEvent() {
    static const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return event;
}

// Called by the system on a thread of its own.
BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    interrupts.fetch_add(1);
    SetEvent(InterruptEvent());
    return TRUE;
}

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.pop_back();  // the terminating zero
    return utf8;
}

HANDLE ErrorHandle() {
    return GetStdHandle(STD_ERROR_HANDLE);
}

}  // namespace

void PrepareConsole() {
    // The job lines are UTF-8, Chinese among them; the console shows them as such only when told.
    SetConsoleOutputCP(CP_UTF8);
    // The progress line redraws itself with escape sequences.
    for (const DWORD handle : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        const HANDLE console = GetStdHandle(handle);
        DWORD mode = 0;
        if (GetConsoleMode(console, &mode) != 0) {
            SetConsoleMode(console,
                           mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
        }
    }
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return {argv, argv + argc};
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(Utf8(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

bool ErrorIsTerminal() {
    // A console, not merely a character device: NUL is one too.
    DWORD mode = 0;
    return GetConsoleMode(ErrorHandle(), &mode) != 0;
}

int ErrorColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(ErrorHandle(), &info) == 0) {
        return 0;
    }
    return info.srWindow.Right - info.srWindow.Left + 1;
}

std::string HostName() {
    wchar_t name[256] = {};
    DWORD size = static_cast<DWORD>(std::size(name));
    if (GetComputerNameExW(ComputerNameDnsHostname, name, &size) == 0) {
        return {};
    }
    return Utf8(name);
}

void CatchInterrupts() {
    InterruptEvent();
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

int InterruptCount() {
    return interrupts.load();
}

void WithInterruptsBlocked(const std::function<void()>& start) {
    // Ctrl-C comes on a thread of the system's, never cutting a worker's call short.
    start();
}

struct MainThreadWake::State {
    HANDLE ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // stays set once notified
};

MainThreadWake::MainThreadWake() : state(std::make_unique<State>()) {}

MainThreadWake::~MainThreadWake() {
    if (state->ended != nullptr) {
        CloseHandle(state->ended);
    }
}

void MainThreadWake::Notify() {
    if (state->ended != nullptr) {
        SetEvent(state->ended);
    }
}

bool MainThreadWake::Wait(DeviceChangeSource* changes, std::chrono::milliseconds timeout) {
    // Disk changes on Windows come as DiskChangeSource's event, never as a descriptor.
    auto* disks = dynamic_cast<DiskChangeSource*>(changes);
    HANDLE handles[3];
    DWORD count = 0;
    for (const HANDLE handle :
         {state->ended, InterruptEvent(), disks != nullptr ? disks->WaitHandle() : nullptr}) {
        if (handle != nullptr) {
            handles[count++] = handle;
        }
    }
    const DWORD milliseconds = static_cast<DWORD>(timeout.count());
    if (count == 0) {
        Sleep(milliseconds);
    } else {
        WaitForMultipleObjects(count, handles, FALSE, milliseconds);
    }
    return disks != nullptr && WaitForSingleObject(disks->WaitHandle(), 0) == WAIT_OBJECT_0;
}

}  // namespace tarnwick

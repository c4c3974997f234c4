#include "platform/SessionLock.h"

#include <windows.h>

#include <string>

#include "platform/windows/Win32Calls.h"

namespace tarnwick {

namespace {

std::wstring Widen(std::string_view utf8) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

}  // namespace

SessionLock SessionLock::Acquire(std::string_view name, std::string /*directory*/) {
    SessionLock lock;
    lock.path_ = "Local\\" + std::string(name);
    // Not owned: holding the handle is what marks the session; nothing ever waits on it.
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, Widen(lock.path_).c_str());
    const DWORD error = GetLastError();
    if (mutex == nullptr) {
        // A mutex of that name made by a holder this account may not open is still a holder.
        if (error == ERROR_ACCESS_DENIED) {
            lock.state_ = State::HeldElsewhere;
        } else {
            lock.unavailable_ =
                Fault::Because(Win32Calls::ErrorText(error), Win32Calls::ErrnoOf(error))
                    .Within(lock.path_);
        }
        return lock;
    }
    lock.handle_ = reinterpret_cast<std::intptr_t>(mutex);
    if (error == ERROR_ALREADY_EXISTS) {
        // Let go at once: keeping the handle would keep the other holder's mutex alive.
        lock.Release();
        lock.state_ = State::HeldElsewhere;
        return lock;
    }
    lock.state_ = State::Held;
    return lock;
}

Result<std::string> SessionLock::DefaultDirectory() {
    return Fail("the session lock is a named mutex here, not a file");
}

void SessionLock::Release() {
    if (handle_ != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
        handle_ = -1;
    }
}

}  // namespace tarnwick

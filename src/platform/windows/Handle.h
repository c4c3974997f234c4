#pragma once

#include <windows.h>

namespace tarnwick {

// Owns a file handle and closes it when it goes (closing also drops the byte-range locks taken
// through it).
class Handle {
  public:
    explicit Handle(HANDLE opened) : handle(opened) {}
    ~Handle() {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle; }

  private:
    HANDLE handle;
};

}  // namespace tarnwick

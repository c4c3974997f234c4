#include "platform/windows/Win32Calls.h"

#include <cerrno>

namespace tarnwick {

namespace {

class RealWin32Calls final : public Win32Calls {
  public:
    HANDLE Open(const wchar_t* path) override {
        return ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    }
    BOOL IoControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                   DWORD* returned) override {
        return ::DeviceIoControl(device, code, in, inSize, out, outSize, returned, nullptr);
    }
    BOOL Close(HANDLE handle) override { return ::CloseHandle(handle); }
    DWORD LastError() override { return ::GetLastError(); }
};

}  // namespace

Win32Calls& Win32Calls::Real() {
    static RealWin32Calls real;
    return real;
}

std::string Win32Calls::ErrorText(DWORD error) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message(text != nullptr ? text : "", length);
    ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    const std::string number = "Windows error " + std::to_string(error);
    return message.empty() ? number : message + " (" + number + ")";
}

int Win32Calls::ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
            return EACCES;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEV_NOT_EXIST:
        case kErrorNoSuchDevice:
        case ERROR_NOT_READY:
            return ENODEV;
        default:
            return EIO;
    }
}

}  // namespace tarnwick

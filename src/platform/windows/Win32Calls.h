#pragma once

#include <windows.h>

#include <string>

namespace tarnwick {

// ERROR_NO_SUCH_DEVICE, which MinGW-w64's <winerror.h> lacks.
inline constexpr DWORD kErrorNoSuchDevice = 433;

// The few Win32 calls the Windows drive layer makes, so that tests can fill and judge its
// requests without a device.
// Any thread. IoControl blocks until the device answered or the request's time-out ran out;
// the others return promptly. Each fails as the call does, its reason in LastError().
class Win32Calls {
  public:
    virtual ~Win32Calls() = default;
    // CreateFileW of an existing device for reading and writing, shared with other programs.
    virtual HANDLE Open(const wchar_t* path) = 0;
    virtual BOOL IoControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out,
                           DWORD outSize, DWORD* returned) = 0;  // DeviceIoControl
    virtual BOOL Close(HANDLE handle) = 0;
    virtual DWORD LastError() = 0;  // GetLastError

    // The operating system itself.
    static Win32Calls& Real();

    // "Access is denied. (Windows error 5)": the system's text and the number.
    static std::string ErrorText(DWORD error);
    // The errno a Win32 error stands for where the layers above look at it: EACCES for a
    // refused access, ENODEV for a device that is not (or no longer) there, EIO otherwise.
    static int ErrnoOf(DWORD error);
};

}  // namespace tarnwick

#include "platform/ExclusiveFileProbe.h"

#include <windows.h>

#include <cerrno>

#include "jobs/FileKind.h"
#include "jobs/windows/FileStat.h"
#include "platform/windows/Handle.h"

namespace tarnwick {

namespace {

// A refusal that is no failed system call: "<path>: <why>".
std::unexpected<Fault> Refuse(const std::string& path, const char* why, int sysErrno = 0) {
    return Fail(Fault::Because(why, sysErrno).Within(path));
}

}  // namespace

Result<std::int64_t> ExclusiveFileProbe::Length(const std::string& path) {
    const std::wstring wide = Utf8Path(path).wstring();
    // A directory opens only with backup semantics; refused by what it is, not by that error.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return SystemFault(path, ErrnoOf(GetLastError()));
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Refuse(path, "not a regular file");
    }
    // Windows' own rule for exclusive use: no sharing at all, so the open fails while any
    // other handle has the file open for its data. Opening a pipe never waits for its server.
    const Handle file(CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_SHARING_VIOLATION
                   ? Refuse(path, "another process has it open", EACCES)
                   : SystemFault(path, ErrnoOf(error));
    }
    if (GetFileType(file.get()) != FILE_TYPE_DISK) {
        return Refuse(path, "not a regular file");
    }
    // Byte-range locks, in case a holder slipped past the sharing rule; any lock on any part
    // of the file counts.
    OVERLAPPED whole{};
    if (LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                   MAXDWORD, &whole) == 0) {
        const DWORD error = GetLastError();
        return error == ERROR_LOCK_VIOLATION
                   ? Refuse(path, "another process holds a lock on it", EACCES)
                   : SystemFault(path, ErrnoOf(error));
    }
    UnlockFileEx(file.get(), 0, MAXDWORD, MAXDWORD, &whole);
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size) == 0) {
        return SystemFault(path, ErrnoOf(GetLastError()));
    }
    return static_cast<std::int64_t>(size.QuadPart);
}

}  // namespace tarnwick

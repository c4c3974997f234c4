#pragma once

#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "jobs/Utf8Path.h"

namespace tarnwick {

// The C runtime's calls on a UTF-8 path: through their UTF-16 forms, the only ones that take
// every name Windows allows.
inline int StatUtf8(const std::string& path, struct _stat64& st) {
    return ::_wstat64(Utf8Path(path).c_str(), &st);
}

inline std::FILE* OpenUtf8(const std::string& path, const wchar_t* mode) {
    return ::_wfopen(Utf8Path(path).c_str(), mode);
}

// A Win32 failure as the C runtime's errno would name it, so messages read as on other systems.
inline int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return EACCES;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return ENOENT;
        case ERROR_DISK_FULL:
            return ENOSPC;
        default:
            return EIO;
    }
}

}  // namespace tarnwick

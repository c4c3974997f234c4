#include "platform/TempFiles.h"

#include <windows.h>

#include <array>
#include <filesystem>

#include "jobs/Utf8Path.h"
#include "platform/windows/Handle.h"

namespace tarnwick {

namespace {

// The temporary directory is the user's own (%TEMP% below the profile), and what is created
// in it inherits its access list: nobody else can have planted a file there, so unlike on
// Linux no owner is checked. Reparse points (links, junctions) are still never followed.
bool Is(DWORD attributes, DWORD wanted) {
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == wanted;
}

bool CopyAll(HANDLE from, HANDLE to) {
    std::array<char, 64 * 1024> buffer;
    for (;;) {
        DWORD got = 0;
        if (ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) == 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        DWORD put = 0;
        if (WriteFile(to, buffer.data(), got, &put, nullptr) == 0 || put != got) {
            return false;
        }
    }
}

}  // namespace

void DeleteOwnTempFile(const std::string& tempDirectory, const std::string& name) {
    const std::filesystem::path path = Utf8Path(tempDirectory) / Utf8Path(name);
    if (Is(GetFileAttributesW(path.c_str()), 0)) {
        DeleteFileW(path.c_str());
    }
}

void CopyIntoPrivateDirectory(const std::string& source, const std::string& tempDirectory,
                              const std::string& subdirectory, const std::string& name) {
    // Shared as on Linux, where the copy is made whoever else has the file open.
    const Handle from(CreateFileW(Utf8Path(source).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (from.get() == INVALID_HANDLE_VALUE || GetFileType(from.get()) != FILE_TYPE_DISK) {
        return;
    }
    const std::filesystem::path directory = Utf8Path(tempDirectory) / Utf8Path(subdirectory);
    if (!Is(GetFileAttributesW(directory.c_str()), FILE_ATTRIBUTE_DIRECTORY)) {
        return;
    }
    // CREATE_NEW keeps the first copy, and fails on a link under the name too.
    const std::filesystem::path target = directory / Utf8Path(name);
    bool copied = false;
    {
        const Handle copy(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (copy.get() == INVALID_HANDLE_VALUE) {
            return;
        }
        copied = CopyAll(from.get(), copy.get());
    }
    if (!copied) {
        // A copy that broke off half way would pass for the source and, since nothing
        // replaces a copy, stay so for good; this call created it.
        DeleteFileW(target.c_str());
    }
}

}  // namespace tarnwick

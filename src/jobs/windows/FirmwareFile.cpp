#include "jobs/FirmwareFile.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "jobs/FileKind.h"
#include "jobs/windows/FileStat.h"

namespace tarnwick {

namespace {

struct FileFacts {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    std::int64_t size = 0;
    std::uint64_t written = 0;  // last write, in 100 ns since 1601
};

std::uint64_t Join(DWORD high, DWORD low) {
    return (std::uint64_t{high} << 32) | low;
}

bool FactsOf(HANDLE handle, FileFacts& facts) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(handle, &info)) {
        return false;
    }
    facts.volume = info.dwVolumeSerialNumber;
    facts.index = Join(info.nFileIndexHigh, info.nFileIndexLow);
    facts.size = static_cast<std::int64_t>(Join(info.nFileSizeHigh, info.nFileSizeLow));
    facts.written = Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    return true;
}

HANDLE HandleOf(std::FILE* stream) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
}

std::string ErrorText(DWORD error) {
    return "Windows error " + std::to_string(error);
}

}  // namespace

FirmwareFile::~FirmwareFile() {
    Close();
}

void FirmwareFile::Close() {
    if (stream != nullptr) {
        std::fclose(stream);
        stream = nullptr;
    }
}

Result<void> FirmwareFile::Open(const std::string& filePath) {
    Close();
    path = filePath;
    struct _stat64 st {};
    if (StatUtf8(path, st) == 0 && !S_ISREG(st.st_mode)) {
        return RequireRegularFile(path, st.st_mode);
    }
    // Shared for deletion too, as on POSIX: the file may be renamed over while the job runs,
    // which Unchanged() then tells.
    const HANDLE handle = ::CreateFileW(Utf8Path(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return SystemFault(path, ErrnoOf(::GetLastError()));
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        return SystemFault(path, errno);
    }
    stream = ::_fdopen(fd, "rb");
    if (stream == nullptr) {
        const int error = errno;
        ::_close(fd);
        return SystemFault(path, error);
    }
    FileFacts facts;
    if (!FactsOf(HandleOf(stream), facts)) {
        const DWORD error = ::GetLastError();
        Close();
        return Fail(Fault::Because(ErrorText(error)).Within(path));
    }
    device = facts.volume;
    inode = facts.index;
    size = facts.size;
    modifiedSeconds = static_cast<std::int64_t>(facts.written / 10'000'000);
    modifiedNanoseconds = static_cast<std::int64_t>(facts.written % 10'000'000 * 100);
    return {};
}

Result<void> FirmwareFile::Unchanged() const {
    const std::string changed = path + " changed during the write";
    FileFacts now;
    if (stream == nullptr || !FactsOf(HandleOf(stream), now)) {
        return Fail(changed + " (cannot examine it: " + ErrorText(::GetLastError()) + ")");
    }
    if (now.size != size ||
        static_cast<std::int64_t>(now.written / 10'000'000) != modifiedSeconds ||
        static_cast<std::int64_t>(now.written % 10'000'000 * 100) != modifiedNanoseconds) {
        return Fail(changed + " (rewritten in place)");
    }
    // What the name stands for now: opened for no access, so a file in use still answers.
    const HANDLE named = ::CreateFileW(Utf8Path(path).c_str(), 0,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    FileFacts facts;
    const bool known = FactsOf(named, facts);
    const DWORD error = ::GetLastError();
    if (named != INVALID_HANDLE_VALUE) {
        ::CloseHandle(named);
    }
    if (!known) {
        const bool gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return Fail(
            changed + " (" + (gone ? std::string(std::strerror(ENOENT)) : ErrorText(error)) + ")",
            gone ? ENOENT : 0);
    }
    if (facts.volume != device || facts.index != inode) {
        return Fail(changed + " (replaced by another file)");
    }
    return {};
}

}  // namespace tarnwick

#include "platform/Files.h"

#include <windows.h>

#include <array>
#include <cerrno>

#include "jobs/FileKind.h"
#include "jobs/windows/FileStat.h"
#include "platform/windows/Handle.h"

namespace tarnwick {

namespace {

std::unexpected<Fault> LastFault(const std::string& path) {
    return SystemFault(path, ErrnoOf(GetLastError()));
}

// A handle that is not a file on disk: a pipe or a console (a character device) would make a
// read or a record wait for ever.
Result<void> RequireDiskFile(const std::string& path, HANDLE file) {
    switch (GetFileType(file)) {
        case FILE_TYPE_DISK:
            return {};
        case FILE_TYPE_PIPE:
            return RequireRegularFile(path, _S_IFIFO);
        case FILE_TYPE_CHAR:
            return RequireRegularFile(path, _S_IFCHR);
        default:
            return RequireRegularFile(path, 0);
    }
}

class WindowsAppendFile final : public AppendFile {
  public:
    WindowsAppendFile(HANDLE opened, std::string name) : file(opened), path(std::move(name)) {}

    Result<void> Append(std::string_view bytes) override {
        DWORD written = 0;
        if (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                      nullptr) == 0) {
            return LastFault(path);
        }
        if (written != bytes.size()) {
            return Fail(path + ": the record was cut short (disk full?)");
        }
        if (FlushFileBuffers(file.get()) == 0) {
            return LastFault(path);
        }
        return {};
    }

  private:
    Handle file;
    std::string path;
};

}  // namespace

Result<bool> CheckRegularFile(const std::string& path) {
    struct _stat64 st {};
    if (StatUtf8(path, st) != 0) {
        if (errno == ENOENT) {
            return false;
        }
        return SystemFault(path, errno);
    }
    if (auto regular = RequireRegularFile(path, st.st_mode); !regular) {
        return Fail(std::move(regular.error()));
    }
    return true;
}

Result<void> ReadRegularFile(const std::string& path,
                             const std::function<void(std::span<const std::uint8_t>)>& chunk) {
    const Handle file(CreateFileW(Utf8Path(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return LastFault(path);
    }
    if (auto disk = RequireDiskFile(path, file.get()); !disk) {
        return disk;
    }
    std::array<std::uint8_t, 64 * 1024> buffer;
    for (;;) {
        DWORD n = 0;
        if (ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr) ==
            0) {
            return LastFault(path);
        }
        if (n == 0) {
            return {};
        }
        chunk(std::span(buffer).first(n));
    }
}

Result<void> SyncDirectoryEntry(const std::string&) {
    return {};
}

Result<std::unique_ptr<AppendFile>> AppendFile::Open(const std::string& path) {
    // FILE_APPEND_DATA alone: every write goes to the end, whoever else appends meanwhile.
    const HANDLE file =
        CreateFileW(Utf8Path(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return LastFault(path);
    }
    auto opened = std::make_unique<WindowsAppendFile>(file, path);
    if (auto disk = RequireDiskFile(path, file); !disk) {
        return Fail(std::move(disk.error()));
    }
    return std::unique_ptr<AppendFile>(std::move(opened));
}

}  // namespace tarnwick

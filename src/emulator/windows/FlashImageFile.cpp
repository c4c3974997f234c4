#include <io.h>
#include <process.h>
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "emulator/NorFlash.h"
#include "jobs/FileKind.h"
#include "jobs/windows/FileStat.h"

namespace tarnwick {

namespace {

std::unexpected<Fault> CannotWrite(const std::string& path, int error,
                                   const std::string& within = {}) {
    Fault fault = Fault::Because(std::strerror(error), error);
    fault.Within(within).Within("cannot write flash image " + path);
    return Fail(std::move(fault));
}

// "flash image <path> is a directory"; only for what is no regular file.
std::unexpected<Fault> NotAnImage(const std::string& path, unsigned short mode) {
    Fault fault = RequireRegularFile(path, mode).error();
    fault.cause = "flash image " + fault.cause;
    return Fail(std::move(fault));
}

std::string ParentOf(const std::string& path) {
    const std::u8string parent = Utf8Path(path).parent_path().u8string();
    return parent.empty() ? std::string(".") : std::string(parent.begin(), parent.end());
}

}  // namespace

Result<void> NorFlash::Save(const std::string& path) const {
    // Unique per process and call, so two savers of one image never share a half-written file.
    static std::atomic<unsigned> serial{0};
    const std::string temporary =
        path + ".part-" + std::to_string(::_getpid()) + "-" + std::to_string(serial++);
    std::FILE* file = OpenUtf8(temporary, L"wb");
    if (file == nullptr) {
        return CannotWrite(path, errno);
    }
    int error = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
                        std::fflush(file) == 0 && ::_commit(::_fileno(file)) == 0
                    ? 0
                    : (errno != 0 ? errno : EIO);
    if (std::fclose(file) != 0 && error == 0) {
        error = errno;
    }
    // Replaces the image in one step, on disk before it returns.
    if (error == 0 && !::MoveFileExW(Utf8Path(temporary).c_str(), Utf8Path(path).c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ErrnoOf(::GetLastError());
    }
    if (error != 0) {
        std::error_code ignored;
        std::filesystem::remove(Utf8Path(temporary), ignored);
        return CannotWrite(path, error);
    }
    return {};
}

Result<void> NorFlash::Load(const std::string& path) {
    const std::string cannotRead = "cannot read flash image " + path;
    struct _stat64 st {};
    if (StatUtf8(path, st) != 0) {
        return Fail(Fault::Because(std::strerror(errno), errno).Within(cannotRead));
    }
    if (!S_ISREG(st.st_mode)) {
        return NotAnImage(path, st.st_mode);
    }
    if (static_cast<std::uint64_t>(st.st_size) != bytes.size()) {
        // A shorter image would leave the rest silently erased, a longer one be cut.
        return Fail("flash image " + path + " holds " + std::to_string(st.st_size) +
                    " bytes, the emulated flash " + std::to_string(bytes.size()));
    }
    std::FILE* file = OpenUtf8(path, L"rb");
    if (file == nullptr) {
        return Fail(Fault::Because(std::strerror(errno), errno).Within(cannotRead));
    }
    std::vector<std::uint8_t> loaded(bytes.size());
    const std::size_t got = std::fread(loaded.data(), 1, loaded.size(), file);
    const int error = std::ferror(file) != 0 ? errno : 0;
    std::fclose(file);
    if (got != loaded.size()) {
        return Fail(Fault::Because(error != 0 ? std::strerror(error) : "it ended early", error)
                        .Within(cannotRead));
    }
    bytes = std::move(loaded);
    return {};
}

Result<void> CheckFlashFileWritable(const std::string& path) {
    constexpr int kWrite = 2;  // _waccess's write permission
    struct _stat64 st {};
    if (StatUtf8(path, st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            return NotAnImage(path, st.st_mode);
        }
        if (::_waccess(Utf8Path(path).c_str(), kWrite) != 0) {
            return CannotWrite(path, errno);
        }
    } else if (errno != ENOENT) {
        return CannotWrite(path, errno);
    }
    // Saving creates a new file beside the image and renames it, existing image or not.
    const std::string parent = ParentOf(path);
    if (StatUtf8(parent, st) != 0) {
        return CannotWrite(path, errno, parent);
    }
    if (!S_ISDIR(st.st_mode)) {
        return Fail(Fault::Because(parent + " is not a directory")
                        .Within("cannot write flash image " + path));
    }
    return {};
}

}  // namespace tarnwick

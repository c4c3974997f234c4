#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "emulator/NorFlash.h"
#include "jobs/FileKind.h"
#include "platform/Files.h"

namespace tarnwick {

namespace {

constexpr std::size_t kReadFailed = static_cast<std::size_t>(-1);

std::unexpected<Fault> CannotWrite(const std::string& path, int error,
                                   const std::string& within = {}) {
    Fault fault = Fault::Because(std::strerror(error), error);
    fault.Within(within).Within("cannot write flash image " + path);
    return Fail(std::move(fault));
}

// "flash image <path> is a directory"; only for what is no regular file.
std::unexpected<Fault> NotAnImage(const std::string& path, mode_t mode) {
    Fault fault = RequireRegularFile(path, mode).error();
    fault.cause = "flash image " + fault.cause;
    return Fail(std::move(fault));
}

std::string ParentOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

bool WriteAll(int fd, std::span<const std::uint8_t> data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            errno = n == 0 ? EIO : errno;  // never 0: the caller goes by it
            return false;
        }
        data = data.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

// Bytes read until `into` is full or the file ends; kReadFailed on an error.
std::size_t ReadAll(int fd, std::span<std::uint8_t> into) {
    std::size_t done = 0;
    while (done < into.size()) {
        const ssize_t n = ::read(fd, into.data() + done, into.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return kReadFailed;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace

Result<void> NorFlash::Save(const std::string& path) const {
    // Unique per process and call, so two savers of one image never share a half-written file.
    static std::atomic<unsigned> serial{0};
    std::string temporary;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
        temporary = path + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        return CannotWrite(path, errno);
    }
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(fd, old.st_mode & 07777);  // the image keeps the permissions it had
    }
    int error = WriteAll(fd, bytes) && ::fsync(fd) == 0 ? 0 : errno;
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return CannotWrite(path, error);
    }
    // The rename is on disk only once the directory that holds it is; the image itself is
    // whole either way, so a failed sync is no failed save.
    static_cast<void>(SyncDirectoryEntry(path));
    return {};
}

Result<void> NorFlash::Load(const std::string& path) {
    const std::string cannotRead = "cannot read flash image " + path;
    // O_NONBLOCK: a FIFO without a writer would otherwise hold the start up for good.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return Fail(Fault::Because(std::strerror(errno), errno).Within(cannotRead));
    }
    Result<void> loadedOk;
    struct stat st {};
    std::vector<std::uint8_t> loaded(bytes.size());
    if (::fstat(fd, &st) != 0) {
        loadedOk = Fail(Fault::Because(std::strerror(errno), errno).Within(cannotRead));
    } else if (!S_ISREG(st.st_mode)) {
        loadedOk = NotAnImage(path, st.st_mode);
    } else if (static_cast<std::uint64_t>(st.st_size) != bytes.size()) {
        // A shorter image would leave the rest silently erased, a longer one be cut.
        loadedOk = Fail("flash image " + path + " holds " + std::to_string(st.st_size) +
                        " bytes, the emulated flash " + std::to_string(bytes.size()));
    } else if (std::size_t got = ReadAll(fd, loaded); got != loaded.size()) {
        const int error = got == kReadFailed ? errno : 0;
        loadedOk = Fail(Fault::Because(error != 0 ? std::strerror(error) : "it ended early", error)
                            .Within(cannotRead));
    }
    ::close(fd);
    if (loadedOk) {
        bytes = std::move(loaded);
    }
    return loadedOk;
}

Result<void> CheckFlashFileWritable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            return NotAnImage(path, st.st_mode);
        }
        if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
            return CannotWrite(path, errno);
        }
    } else if (errno != ENOENT) {
        return CannotWrite(path, errno);
    }
    // Saving creates a new file beside the image and renames it, existing image or not.
    const std::string parent = ParentOf(path);
    if (::stat(parent.c_str(), &st) != 0) {
        return CannotWrite(path, errno, parent);
    }
    if (!S_ISDIR(st.st_mode)) {
        return Fail(Fault::Because(parent + " is not a directory")
                        .Within("cannot write flash image " + path));
    }
    if (::faccessat(AT_FDCWD, parent.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        return CannotWrite(path, errno, parent);
    }
    return {};
}

}  // namespace tarnwick

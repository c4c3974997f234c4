#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>

#include "jobs/FileKind.h"
#include "platform/linux/Descriptor.h"

namespace tarnwick {

namespace {

class PosixAppendFile final : public AppendFile {
  public:
    PosixAppendFile(int descriptor, std::string name) : fd(descriptor), path(std::move(name)) {}

    Result<void> Append(std::string_view bytes) override {
        ssize_t n;
        do {
            n = ::write(fd.get(), bytes.data(), bytes.size());
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            return SystemFault(path, errno);
        }
        if (static_cast<std::size_t>(n) != bytes.size()) {
            return Fail(path + ": the record was cut short (disk full?)");
        }
        if (::fsync(fd.get()) != 0) {
            return SystemFault(path, errno);
        }
        return {};
    }

  private:
    Descriptor fd;
    std::string path;
};

}  // namespace

Result<void> SyncDirectoryEntry(const std::string& path) {
    const std::string parent = std::filesystem::path(path).parent_path().string();
    const std::string directory = parent.empty() ? std::string(".") : parent;
    const Descriptor fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) {
        return SystemFault(directory, errno);
    }
    // Some file systems cannot sync a directory (EINVAL); they keep names their own way.
    if (::fsync(fd.get()) != 0 && errno != EINVAL) {
        return SystemFault(directory, errno);
    }
    return {};
}

Result<bool> CheckRegularFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
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
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        return SystemFault(path, errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return Fail(path + " is not a regular file");
    }
    std::array<std::uint8_t, 64 * 1024> buffer;
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return SystemFault(path, errno);
        }
        if (n == 0) {
            return {};
        }
        chunk(std::span(buffer).first(static_cast<std::size_t>(n)));
    }
}

Result<std::unique_ptr<AppendFile>> AppendFile::Open(const std::string& path) {
    // Opened without blocking and judged by what was opened, so nothing swapped in under the
    // name can make the open wait.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        return SystemFault(path, errno);
    }
    auto file = std::make_unique<PosixAppendFile>(fd, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return SystemFault(path, errno);
    }
    if (auto regular = RequireRegularFile(path, st.st_mode); !regular) {
        return Fail(std::move(regular.error()));
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return SystemFault(path, errno);
    }
    // A new log's first record is on disk with its first Append; its name, only so.
    if (st.st_size == 0) {
        if (auto entry = SyncDirectoryEntry(path); !entry) {
            return Fail(std::move(entry.error()));
        }
    }
    return std::unique_ptr<AppendFile>(std::move(file));
}

}  // namespace tarnwick

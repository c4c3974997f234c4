#include "jobs/FirmwareFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "jobs/FileKind.h"

namespace tarnwick {

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
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat st {};
        // A socket cannot be opened at all; say what it is rather than "No such device".
        if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            return RequireRegularFile(path, st.st_mode);
        }
        return SystemFault(path, error);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return SystemFault(path, error);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return RequireRegularFile(path, st.st_mode);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        (stream = ::fdopen(fd, "rb")) == nullptr) {
        const int error = errno;
        ::close(fd);
        return SystemFault(path, error);
    }
    device = st.st_dev;
    inode = st.st_ino;
    size = st.st_size;
    modifiedSeconds = st.st_mtim.tv_sec;
    modifiedNanoseconds = st.st_mtim.tv_nsec;
    return {};
}

Result<void> FirmwareFile::Unchanged() const {
    const std::string changed = path + " changed during the write";
    struct stat now {};
    if (stream == nullptr || ::fstat(::fileno(stream), &now) != 0) {
        const int error = errno;
        return Fail(changed + " (cannot examine it: " + std::strerror(error) + ")", error);
    }
    if (now.st_size != size || now.st_mtim.tv_sec != modifiedSeconds ||
        now.st_mtim.tv_nsec != modifiedNanoseconds) {
        return Fail(changed + " (rewritten in place)");
    }
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0) {
        const int error = errno;
        return Fail(changed + " (" + std::strerror(error) + ")", error);
    }
    if (named.st_dev != device || named.st_ino != inode) {
        return Fail(changed + " (replaced by another file)");
    }
    return {};
}

}  // namespace tarnwick

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "jobs/FileKind.h"
#include "jobs/ReadBack.h"

namespace tarnwick {

Result<void> FlashReadBack::Create(const std::string& outputPath) {
    // Non-blocking and checked before truncating: a FIFO would hold the job in open(), and a
    // device node must neither be written to nor removed when the read-back fails.
    const int fd = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    struct stat st {};
    if (fd < 0) {
        const int error = errno;
        // A FIFO without a reader (ENXIO) or a socket: say what it is.
        if (::stat(outputPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            return RequireRegularFile(outputPath, st.st_mode);
        }
        return SystemFault(outputPath, error);
    }
    Result<void> made = ::fstat(fd, &st) != 0 ? SystemFault(outputPath, errno)
                                              : RequireRegularFile(outputPath, st.st_mode);
    const int flags = made ? ::fcntl(fd, F_GETFL) : -1;
    if (made && (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
                 ::ftruncate(fd, 0) != 0 || (file = ::fdopen(fd, "wb")) == nullptr)) {
        made = SystemFault(outputPath, errno);
    }
    if (!made) {
        ::close(fd);
    }
    return made;
}

}  // namespace tarnwick

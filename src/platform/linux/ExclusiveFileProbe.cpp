#include "platform/ExclusiveFileProbe.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "jobs/FileKind.h"
#include "platform/linux/Descriptor.h"

namespace tarnwick {

namespace {

// A refusal that is no failed system call: "<path>: <why>".
std::unexpected<Fault> Refuse(const std::string& path, const char* why, int sysErrno = 0) {
    return Fail(Fault::Because(why, sysErrno).Within(path));
}

}  // namespace

Result<std::int64_t> ExclusiveFileProbe::Length(const std::string& path) {
    // Non-blocking, so that a FIFO planted under a .bin name cannot hang the dialog.
    const Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
        return SystemFault(path, errno);
    }
    struct stat st {};
    if (fstat(file.get(), &st) != 0) {
        return SystemFault(path, errno);
    }
    if (!S_ISREG(st.st_mode)) {
        return Refuse(path, "not a regular file");
    }
    int locked;
    do {
        locked = flock(file.get(), LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        return errno == EWOULDBLOCK ? Refuse(path, "another process holds a lock on it", errno)
                                    : SystemFault(path, errno);
    }
    // Record locks (fcntl, as office programs take them) do not show up in flock; ask for
    // them separately. Any lock, read or write, on any part of the file counts.
    struct flock query {};
    query.l_type = F_WRLCK;
    query.l_whence = SEEK_SET;
    query.l_start = 0;
    query.l_len = 0;
    if (fcntl(file.get(), F_OFD_GETLK, &query) == 0 && query.l_type != F_UNLCK) {
        return Refuse(path, "another process holds a record lock on it");
    }
    return static_cast<std::int64_t>(st.st_size);
}

}  // namespace tarnwick

#include "platform/SessionLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tarnwick {

namespace {

Fault Reason(const std::string& what, int error) {
    return Fault::Because(std::strerror(error), error).Within(what);
}

// The log-on session's id as part of a file name: bytes other than letters, digits, '-' and
// '_' become "%XX", so no id can reach outside the directory and no two ids share a name.
std::string SessionSuffix() {
    const char* id = std::getenv("XDG_SESSION_ID");
    if (id == nullptr || id[0] == '\0') {
        return {};
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string suffix = ".session-";
    for (const char* c = id; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        // By hand rather than isalnum, whose answer depends on the locale.
        if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= 'a' && byte <= 'z') || byte == '-' || byte == '_') {
            suffix += *c;
        } else {
            suffix += '%';
            suffix += kHex[byte >> 4];
            suffix += kHex[byte & 0xF];
        }
    }
    return suffix;
}

std::string TempRoot() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
}

}  // namespace

Result<std::string> SessionLock::DefaultDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        return runtime;
    }
    const uid_t uid = getuid();
    std::string dir = TempRoot() + "/tarnwick-" + std::to_string(uid);
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        return Fail(Reason(dir, errno));
    }
    // The temporary directory is shared: a directory planted there by someone else could hold
    // a lock file that keeps us from starting, or follow a link somewhere we should not write.
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid ||
        (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return Fail(Fault::Because("not a private directory of this user").Within(dir));
    }
    return dir;
}

SessionLock SessionLock::Acquire(std::string_view name, std::string directory) {
    SessionLock lock;
    if (directory.empty()) {
        Result<std::string> runtime = DefaultDirectory();
        if (!runtime) {
            lock.unavailable_ = std::move(runtime.error());
            return lock;
        }
        directory = std::move(*runtime);
    }
    lock.path_ = directory + "/" + std::string(name) + SessionSuffix();
    const int fd = open(lock.path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    lock.handle_ = fd;
    if (fd < 0) {
        lock.unavailable_ = Reason(lock.path_, errno);
        return lock;
    }
    int result;
    do {
        result = flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        lock.state_ = State::Held;
        return lock;
    }
    const int error = errno;
    lock.Release();
    if (error == EWOULDBLOCK) {
        lock.state_ = State::HeldElsewhere;
    } else {
        lock.unavailable_ = Reason(lock.path_, error);
    }
    return lock;
}

void SessionLock::Release() {
    // The file itself stays: removing it would let a second starter lock a fresh file while a
    // third still waits on the old one's name.
    if (handle_ >= 0) {
        close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

}  // namespace tarnwick

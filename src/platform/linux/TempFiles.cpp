#include "platform/TempFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/Descriptor.h"

namespace tarnwick {

namespace {

// Owned by this user and writable by nobody else: no one else can have put a file or a link
// under the target's name there, nor swap the copy while it is written.
bool IsPrivateDirectory(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool CopyAll(int from, int to) {
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = read(from, buffer, sizeof buffer);
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = write(to, buffer + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put <= 0) {
                return false;
            }
            done += put;
        }
    }
}

// Every name below is resolved from this descriptor, so the directory checked is the one
// written into.
Descriptor OpenDirectory(const std::string& path) {
    return Descriptor(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

}  // namespace

void DeleteOwnTempFile(const std::string& tempDirectory, const std::string& name) {
    // Only our own file: in a shared temporary directory the name may be someone else's, and
    // a directory or a link under it is not the file either.
    const Descriptor directory = OpenDirectory(tempDirectory);
    struct stat st {};
    if (directory.get() >= 0 &&
        fstatat(directory.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode) && st.st_uid == geteuid()) {
        unlinkat(directory.get(), name.c_str(), 0);
    }
}

void CopyIntoPrivateDirectory(const std::string& source, const std::string& tempDirectory,
                              const std::string& subdirectory, const std::string& name) {
    const Descriptor from(open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (from.get() < 0 || fstat(from.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return;
    }
    const Descriptor temp = OpenDirectory(tempDirectory);
    if (temp.get() < 0) {
        return;
    }
    // A subdirectory that another user made first, or a link under that name, would receive
    // the file or redirect the write.
    const Descriptor directory(
        openat(temp.get(), subdirectory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (directory.get() < 0 || !IsPrivateDirectory(directory.get())) {
        return;
    }
    // Exclusive creation keeps the first copy and never follows a link under the name.
    const Descriptor copy(openat(directory.get(), name.c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (copy.get() < 0) {
        return;
    }
    if (!CopyAll(from.get(), copy.get())) {
        // A copy that broke off half way would pass for the source and, since nothing
        // replaces a copy, stay so for good. This call created it, in a directory nobody
        // else may write into, so what is there is this copy's remains.
        unlinkat(directory.get(), name.c_str(), 0);
    }
}

}  // namespace tarnwick

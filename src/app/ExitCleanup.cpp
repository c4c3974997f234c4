#include "app/ExitCleanup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "app/Descriptor.h"

namespace tarnwick {

namespace fs = std::filesystem;

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

void DeleteScratch(int tempDir) {
    // Only our own file: in a shared temporary directory the name may be someone else's, and
    // a directory or a link under it is not the scratch file either.
    struct stat st {};
    if (fstatat(tempDir, ExitCleanup::kScratchFile, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode) && st.st_uid == geteuid()) {
        unlinkat(tempDir, ExitCleanup::kScratchFile, 0);
    }
}

void LeaveCopy(int tempDir, const fs::path& chosenFile, const fs::path& target) {
    const Descriptor source(open(chosenFile.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (source.get() < 0 || fstat(source.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return;
    }
    // A "programmer" that another user made first, or a link under that name, would receive
    // the firmware or redirect the write.
    const Descriptor directory(openat(tempDir, target.parent_path().c_str(),
                                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (directory.get() < 0 || !IsPrivateDirectory(directory.get())) {
        return;
    }
    // Exclusive creation keeps the first copy and never follows a link under the name.
    const fs::path name = target.filename();
    const Descriptor copy(openat(directory.get(), name.c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (copy.get() < 0) {
        return;
    }
    if (!CopyAll(source.get(), copy.get())) {
        // A copy that broke off half way would pass for the chosen file and, since nothing
        // replaces a target, stay so for good. This run created it, in a directory nobody
        // else may write into, so what is there is this copy's remains.
        unlinkat(directory.get(), name.c_str(), 0);
    }
}

}  // namespace

fs::path ExitCleanup::CopyTarget(const std::array<std::uint32_t, 2>& fileVersion) {
    char name[48];
    std::snprintf(name, sizeof name, "$$$win%08x-%04x.bof", fileVersion[0], fileVersion[1]);
    return fs::path("programmer") / name;
}

void ExitCleanup::Run(const fs::path& tempDirectory, const fs::path& chosenFile,
                      const std::array<std::uint32_t, 2>& fileVersion) {
    // Every name below is resolved from this descriptor, so the directory checked is the one
    // written into.
    const Descriptor tempDir(open(tempDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (tempDir.get() < 0) {
        return;
    }
    DeleteScratch(tempDir.get());
    if (!chosenFile.empty()) {
        LeaveCopy(tempDir.get(), chosenFile, CopyTarget(fileVersion));
    }
}

}  // namespace tarnwick

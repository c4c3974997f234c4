#pragma once

#include <string>

struct sg_io_hdr;
struct stat;

namespace tarnwick {

// The few system calls the Linux drive layer makes, so that tests can fill and judge SG_IO
// requests without a device.
// Any thread. SgIo blocks until the command completed or its time-out ran out; the others
// return promptly. Each fails as the system call does: -1 with errno set.
class SysCalls {
  public:
    virtual ~SysCalls() = default;
    virtual int Open(const char* path, int flags) = 0;
    virtual int Close(int fd) = 0;
    virtual int GetFlags(int fd) = 0;             // fcntl(F_GETFL)
    virtual int SetFlags(int fd, int flags) = 0;  // fcntl(F_SETFL)
    virtual int Fstat(int fd, struct stat* st) = 0;
    virtual int SgIo(int fd, sg_io_hdr* header) = 0;  // ioctl(SG_IO)

    // The operating system itself.
    static SysCalls& Real();

    // "Permission denied (EACCES)": the text and the symbolic name of an errno value.
    static std::string ErrorText(int error);
};

}  // namespace tarnwick

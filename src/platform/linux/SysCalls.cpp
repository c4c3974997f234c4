#include "platform/linux/SysCalls.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace tarnwick {

namespace {

class RealSysCalls final : public SysCalls {
  public:
    int Open(const char* path, int flags) override { return ::open(path, flags); }
    int Close(int fd) override { return ::close(fd); }
    int GetFlags(int fd) override { return ::fcntl(fd, F_GETFL); }
    int SetFlags(int fd, int flags) override { return ::fcntl(fd, F_SETFL, flags); }
    int Fstat(int fd, struct stat* st) override { return ::fstat(fd, st); }
    int SgIo(int fd, sg_io_hdr* header) override { return ::ioctl(fd, SG_IO, header); }
};

}  // namespace

SysCalls& SysCalls::Real() {
    static RealSysCalls real;  // stateless
    return real;
}

std::string SysCalls::ErrorText(int error) {
    const char* description = ::strerrordesc_np(error);
    std::string text = description != nullptr ? description : "error " + std::to_string(error);
    if (const char* name = ::strerrorname_np(error)) {
        text += " (";
        text += name;
        text += ")";
    }
    return text;
}

}  // namespace tarnwick

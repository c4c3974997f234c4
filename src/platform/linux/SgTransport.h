#pragma once

#include <memory>
#include <string>

#include "link/PassThrough.h"
#include "platform/linux/SysCalls.h"

namespace tarnwick {

// Sends vendor command blocks to one SCSI generic device (/dev/sgN) with SG_IO. Owns the
// descriptor and closes it when destroyed, so share it through std::shared_ptr and it stays
// open for as long as anybody (discovery or a running job) still uses it.
// Exchange blocks until the device answered or the request's time-out ran out; one thread at a
// time. It fails unless the ioctl succeeded, neither host adapter nor driver reported an error
// and the SCSI status is GOOD and every byte of the data phase moved (no residue); the fault
// keeps errno, both statuses, the sense bytes and the residue.
class SgTransport final : public PassThrough {
  public:
    // The sense area offered to the device (as much as the programmer ever sends).
    static constexpr unsigned char kSenseLength = 26;

    // Opens `path` for reading and writing. The fault keeps errno (ENOENT, ENXIO or ENODEV: no
    // such device, see IsMissingDevice).
    static Result<std::unique_ptr<SgTransport>> Open(SysCalls& sys, const std::string& path);

    // Takes over `fd`, already open on `path`.
    SgTransport(SysCalls& sys, int fd, std::string path);
    ~SgTransport() override;
    SgTransport(const SgTransport&) = delete;
    SgTransport& operator=(const SgTransport&) = delete;

    Result<void> Exchange(const PassThroughRequest& request) override;

    int Fd() const { return fd; }
    const std::string& Path() const { return path; }

    // How to get read-write access to the programmer, for permission errors.
    static const char* PermissionHint();
    // True for the errno values that mean "no such device" when opening a device node.
    static bool IsMissingDevice(int error);

  private:
    SysCalls& sys;
    int fd;
    std::string path;
};

}  // namespace tarnwick

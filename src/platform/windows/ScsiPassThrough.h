#pragma once

#include <memory>
#include <string>

#include "link/PassThrough.h"
#include "platform/windows/Win32Calls.h"

namespace tarnwick {

// Sends vendor command blocks to one drive (\\.\PHYSICALDRIVEn) with
// IOCTL_SCSI_PASS_THROUGH_DIRECT. Owns the handle and closes it when destroyed, so share it
// through std::shared_ptr and it stays open for as long as anybody still uses it.
// Exchange blocks until the device answered or the request's time-out ran out; one thread at a
// time. It fails unless the call succeeded, the SCSI status is GOOD and every byte of the data
// phase moved; the fault keeps the status, the sense bytes and the residue.
class ScsiPassThrough final : public PassThrough {
  public:
    // The sense area offered to the device (as much as the programmer ever sends).
    static constexpr unsigned char kSenseLength = 26;

    // Opens `path` for reading and writing. A drive that is not there fails with sysErrno
    // ENODEV, a refused one with EACCES (see Win32Calls::ErrnoOf).
    static Result<std::unique_ptr<ScsiPassThrough>> Open(Win32Calls& calls,
                                                         const std::string& path);

    // Takes over `handle`, already open on `path`.
    ScsiPassThrough(Win32Calls& calls, HANDLE handle, std::string path);
    ~ScsiPassThrough() override;
    ScsiPassThrough(const ScsiPassThrough&) = delete;
    ScsiPassThrough& operator=(const ScsiPassThrough&) = delete;

    Result<void> Exchange(const PassThroughRequest& request) override;

    HANDLE Handle() const { return handle; }
    const std::string& Path() const { return path; }

    // A failed call as a fault: the system's text, what to do about a refused access.
    static Fault CallFault(DWORD error);

  private:
    Win32Calls& calls;
    HANDLE handle;
    std::string path;
};

}  // namespace tarnwick

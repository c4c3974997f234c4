#pragma once

#include <windows.h>

#include <cfgmgr32.h>

#include <deque>
#include <memory>
#include <mutex>

#include "link/DeviceChangeSource.h"
#include "link/Fault.h"

namespace tarnwick {

// Disk arrivals and removals on Windows (CM_Register_Notification for the disk device
// interface). The system calls back on a thread of its own; the callback only queues the change
// and sets an event, so the owner of the display still handles every change on its own thread:
// it waits for WaitHandle() (there is no descriptor: PollFd() is -1) and then calls Dispatch(),
// as it would after poll() elsewhere. Changes are "add" or "remove" of subsystem "disk", named by
// the interface's symbolic link.
class DiskChangeSource final : public DeviceChangeSource {
  public:
    // Registers for the notifications; fails naming the call when the system refuses.
    static Result<std::unique_ptr<DiskChangeSource>> Create();
    // Without a registration: the changes come only through Notified (tests).
    static std::unique_ptr<DiskChangeSource> Unregistered();

    ~DiskChangeSource() override;
    DiskChangeSource(const DiskChangeSource&) = delete;
    DiskChangeSource& operator=(const DiskChangeSource&) = delete;

    int PollFd() const override { return -1; }
    // A manual-reset event, set while changes wait for Dispatch.
    HANDLE WaitHandle() const { return event; }
    std::size_t Dispatch(const DeviceChangeHandler& onChange) override;

    // The callback the system calls, `context` being the source.
    static DWORD CALLBACK Notified(HCMNOTIFICATION notification, PVOID context,
                                   CM_NOTIFY_ACTION action, PCM_NOTIFY_EVENT_DATA data, DWORD size);

  private:
    DiskChangeSource();

    HANDLE event;
    HCMNOTIFICATION registration = nullptr;
    std::mutex mutex;
    std::deque<DeviceChange> pending;
};

}  // namespace tarnwick

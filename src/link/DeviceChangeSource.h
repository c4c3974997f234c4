#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace tarnwick {

// One device that was added, removed or changed.
struct DeviceChange {
    std::string action;     // "add", "remove", "change"; "overflow" when events were lost
    std::string subsystem;  // e.g. "scsi_generic", "usb"; empty for "overflow"
    std::string name;       // the device's kernel name, e.g. "sg2" or "1-2:1.0"
};

using DeviceChangeHandler = std::function<void(const DeviceChange&)>;

// Tells when devices come, go or change. It never calls back from a thread of its own: the
// owner of the display waits until PollFd() is readable (a QSocketNotifier, poll()) and then
// calls Dispatch() on its own thread.
// Dispatch never blocks: it reads what is pending and calls `onChange` once per relevant event,
// in order, returning how many calls it made. When the source had to drop events it reports
// that as one "overflow" change, so a caller that rescans on every change never misses one. A
// read error ends the dispatch early; it does not throw.
class DeviceChangeSource {
  public:
    virtual ~DeviceChangeSource() = default;
    virtual int PollFd() const = 0;
    virtual std::size_t Dispatch(const DeviceChangeHandler& onChange) = 0;
};

}  // namespace tarnwick

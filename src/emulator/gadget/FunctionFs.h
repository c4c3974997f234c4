#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "link/Fault.h"

namespace tarnwick::gadget {

// One FunctionFS instance serving a Bulk-Only mass-storage interface: mounted at construction,
// its descriptors (full and high speed: interface 08/06/50 with a bulk-in and a bulk-out
// endpoint) and strings written to ep0, which makes the function ready for the gadget to be
// bound to a controller. Unmounted when destroyed.
// The endpoint calls block until the host takes part; they fail at once (EAGAIN) while the
// function is disabled, with ESHUTDOWN when it is disabled under them, and with EINTR when a
// signal arrives (the kernel then withdraws the request).
class FunctionFs {
  public:
    // Mounts functionfs instance `instance` (the configfs function ffs.<instance>) at
    // `mountPoint`, which is created when missing.
    static Result<std::unique_ptr<FunctionFs>> Open(const std::string& instance,
                                                    const std::string& mountPoint);
    ~FunctionFs();
    FunctionFs(const FunctionFs&) = delete;
    FunctionFs& operator=(const FunctionFs&) = delete;

    int Ep0() const { return ep0; }

    // Bytes read from bulk-out; a failure carries the call's errno.
    Result<std::size_t> ReadOut(std::span<std::uint8_t> buffer) const;
    // Bytes written to bulk-in.
    Result<std::size_t> WriteIn(std::span<const std::uint8_t> data) const;
    // Halt an endpoint; the host clears it with CLEAR_FEATURE(ENDPOINT_HALT).
    void StallIn() const;
    void StallOut() const;
    // wMaxPacketSize of bulk-in at the speed the host connected with; 0 when not enabled.
    std::uint16_t MaxPacketIn() const;

  private:
    FunctionFs(std::string mountPoint, int ep0, int in, int out);

    std::string mountPoint;
    int ep0;
    int in;
    int out;
};

}  // namespace tarnwick::gadget

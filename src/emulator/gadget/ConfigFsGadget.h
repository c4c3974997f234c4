#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "link/Fault.h"

struct usbg_state;
struct usbg_gadget;

namespace tarnwick::gadget {

// What the host sees of the device before it reaches the interface.
struct UsbIdentity {
    std::uint16_t vendorId = 0x1d6b;   // Linux Foundation
    std::uint16_t productId = 0x0104;  // multifunction composite gadget
    std::string manufacturer = "Vortan";
    std::string product = "Flash Programmer";
    std::string serial;
};

// A USB gadget in configfs, set up with libusbgx: one configuration holding one FunctionFS
// function named `name`. Binding it to a controller is plugging it in; unbinding is pulling it
// out. Any gadget of the same name left behind by an earlier run is removed first. The gadget
// is removed again when this is destroyed. Calls block while the kernel (un)binds; one thread
// at a time.
class ConfigFsGadget {
  public:
    // Fails when configfs or libcomposite is not there.
    static Result<std::unique_ptr<ConfigFsGadget>> Create(const std::string& configfs,
                                                          const std::string& name,
                                                          const UsbIdentity& identity);
    ~ConfigFsGadget();
    ConfigFsGadget(const ConfigFsGadget&) = delete;
    ConfigFsGadget& operator=(const ConfigFsGadget&) = delete;

    // The FunctionFS instance name to mount.
    const std::string& FunctionInstance() const { return name; }

    Result<void> Bind(const std::string& udc);
    Result<void> Unbind();
    bool Bound() const;

  private:
    ConfigFsGadget(usbg_state* state, usbg_gadget* gadget, std::string name);

    usbg_state* state;
    usbg_gadget* gadget;
    std::string name;
};

}  // namespace tarnwick::gadget

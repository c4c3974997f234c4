#include "emulator/gadget/ConfigFsGadget.h"

#include <usbg/function/ffs.h>
#include <usbg/usbg.h>

#include <cstdint>
#include <vector>

namespace tarnwick::gadget {

namespace {

std::unexpected<Fault> Failed(const std::string& what, int result) {
    return Fail(Fault::Because(usbg_strerror(static_cast<usbg_error>(result))).Within(what));
}

// libusbgx takes non-const strings it does not change.
std::vector<char> Text(const std::string& s) {
    return std::vector<char>(s.c_str(), s.c_str() + s.size() + 1);
}

}  // namespace

Result<std::unique_ptr<ConfigFsGadget>> ConfigFsGadget::Create(const std::string& configfs,
                                                               const std::string& name,
                                                               const UsbIdentity& identity) {
    usbg_state* state = nullptr;
    int r = usbg_init(configfs.c_str(), &state);
    if (r != USBG_SUCCESS) {
        return Failed(
            "cannot use configfs at " + configfs + " (is it mounted and libcomposite loaded?)", r);
    }
    auto fail = [&](const std::string& what, int result) {
        usbg_cleanup(state);
        return Failed(what, result);
    };

    if (usbg_gadget* stale = usbg_get_gadget(state, name.c_str()); stale != nullptr) {
        usbg_disable_gadget(stale);
        r = usbg_rm_gadget(stale, USBG_RM_RECURSE);
        if (r != USBG_SUCCESS) {
            return fail("cannot remove the gadget " + name + " an earlier run left behind", r);
        }
    }

    usbg_gadget_attrs attrs{};
    attrs.bcdUSB = 0x0200;
    attrs.bMaxPacketSize0 = 64;
    attrs.idVendor = identity.vendorId;
    attrs.idProduct = identity.productId;
    attrs.bcdDevice = 0x0100;
    auto manufacturer = Text(identity.manufacturer);
    auto product = Text(identity.product);
    auto serial = Text(identity.serial);
    usbg_gadget_strs strings{manufacturer.data(), product.data(), serial.data()};
    usbg_gadget* gadget = nullptr;
    r = usbg_create_gadget(state, name.c_str(), &attrs, &strings, &gadget);
    if (r != USBG_SUCCESS) {
        return fail("cannot create the gadget " + name, r);
    }
    auto remove = [&](const std::string& what, int result) {
        usbg_rm_gadget(gadget, USBG_RM_RECURSE);
        return fail(what, result);
    };
    usbg_function* function = nullptr;
    r = usbg_create_function(gadget, USBG_F_FFS, name.c_str(), nullptr, &function);
    if (r != USBG_SUCCESS) {
        return remove("cannot create the FunctionFS function (is usb_f_fs loaded?)", r);
    }
    auto label = Text("Programmer");
    usbg_config_strs configStrings{label.data()};
    usbg_config_attrs configAttrs{};
    configAttrs.bmAttributes = 0x80;  // bus-powered
    configAttrs.bMaxPower = 50;       // 100 mA
    usbg_config* config = nullptr;
    r = usbg_create_config(gadget, 1, "c", &configAttrs, &configStrings, &config);
    if (r != USBG_SUCCESS) {
        return remove("cannot create the configuration", r);
    }
    r = usbg_add_config_function(config, name.c_str(), function);
    if (r != USBG_SUCCESS) {
        return remove("cannot add the function to the configuration", r);
    }
    return std::unique_ptr<ConfigFsGadget>(new ConfigFsGadget(state, gadget, name));
}

ConfigFsGadget::ConfigFsGadget(usbg_state* state_, usbg_gadget* gadget_, std::string name_)
    : state(state_), gadget(gadget_), name(std::move(name_)) {}

ConfigFsGadget::~ConfigFsGadget() {
    usbg_disable_gadget(gadget);
    usbg_rm_gadget(gadget, USBG_RM_RECURSE);
    usbg_cleanup(state);
}

Result<void> ConfigFsGadget::Bind(const std::string& udcName) {
    usbg_udc* udc = usbg_get_udc(state, udcName.c_str());
    if (udc == nullptr) {
        return Fail("no USB device controller " + udcName + " (is dummy_hcd loaded?)");
    }
    if (const int r = usbg_enable_gadget(gadget, udc); r != USBG_SUCCESS) {
        return Failed("cannot bind the gadget to " + udcName, r);
    }
    return {};
}

Result<void> ConfigFsGadget::Unbind() {
    if (const int r = usbg_disable_gadget(gadget); r != USBG_SUCCESS) {
        return Failed("cannot unbind the gadget", r);
    }
    return {};
}

bool ConfigFsGadget::Bound() const {
    return usbg_get_gadget_udc(gadget) != nullptr;
}

}  // namespace tarnwick::gadget

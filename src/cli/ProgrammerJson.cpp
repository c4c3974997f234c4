#include "cli/ProgrammerJson.h"

#include "cli/OwnLines.h"

namespace tarnwick::cli {

namespace {

void AddUsbFields(nlohmann::json& object, const std::string& port,
                  const std::optional<UsbDeviceAddress>& address,
                  const std::optional<std::string>& serial) {
    object["port"] = port.empty() ? nlohmann::json() : nlohmann::json(port);
    object["bus"] = address ? nlohmann::json(address->bus) : nlohmann::json();
    object["device"] = address ? nlohmann::json(address->device) : nlohmann::json();
    object["serial"] = serial ? nlohmann::json(*serial) : nlohmann::json();
}

std::string UsbText(const std::string& port, const std::optional<UsbDeviceAddress>& address,
                    const std::optional<std::string>& serial) {
    std::string text;
    const auto add = [&text](const std::string& part) {
        text = text.empty() ? part : Say("{1}, {2}", {text, part});
    };
    if (!port.empty()) {
        add(Say("USB port {1}", {port}));
    }
    if (address) {
        add(Say("bus {1} device {2}",
                {std::to_string(address->bus), std::to_string(address->device)}));
    }
    if (serial) {
        add(Say("serial {1}", {*serial}));
    }
    return text;
}

}  // namespace

nlohmann::json ProgrammerJson(const FoundProgrammer& programmer) {
    nlohmann::json object{{"drive", int{programmer.drive}}, {"name", programmer.driveName}};
    AddUsbFields(object, programmer.usbPort, programmer.usbDevice, programmer.usbSerial);
    return object;
}

void AddUsbIdentityJson(nlohmann::json& object, const StorageIdentity& identity) {
    AddUsbFields(object, identity.usbPort, identity.usbDevice, identity.usbSerial);
}

std::string UsbIdentityText(const FoundProgrammer& programmer) {
    return UsbText(programmer.usbPort, programmer.usbDevice, programmer.usbSerial);
}

std::string UsbIdentityText(const StorageIdentity& identity) {
    return UsbText(identity.usbPort, identity.usbDevice, identity.usbSerial);
}

std::string DumpJson(const nlohmann::json& document) {
    return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace tarnwick::cli

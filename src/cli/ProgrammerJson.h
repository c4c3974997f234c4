#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "link/DriveProvider.h"
#include "link/ProgrammerPresence.h"

namespace tarnwick::cli {

// The programmer for scripts: "drive" and "name", then where it sits on USB: "port" (e.g.
// "1-2.3"), "bus" and "device" numbers and "serial", each null when not known.
nlohmann::json ProgrammerJson(const FoundProgrammer& programmer);

// Adds the same "port", "bus", "device" and "serial" fields for any drive identified.
void AddUsbIdentityJson(nlohmann::json& object, const StorageIdentity& identity);

// A drive's USB identity in words, e.g. "USB port 1-2.3, bus 1 device 5, serial TW-1"; empty
// when nothing about it is known.
std::string UsbIdentityText(const FoundProgrammer& programmer);
std::string UsbIdentityText(const StorageIdentity& identity);

// Prints a document so that any bytes a device reported still make valid JSON: what is not
// UTF-8 becomes U+FFFD instead of ending the program.
std::string DumpJson(const nlohmann::json& document);

}  // namespace tarnwick::cli

#pragma once

#include <string>
#include <vector>

#include "emulator/EmulatedProgrammer.h"
#include "link/Fault.h"

namespace tarnwick::gadget {

// One line per command the programmer received, in order:
//   op=fb sub=01 address=0x00000200 length=512 transfer=512 crc=0x31c3
// (length: bytes 6..7 of the command block; transfer: the data phase; crc: bytes 9..10).
std::string FormatCommand(const LoggedCommand& command);

// Writes the log to `path` (through a temporary file and a rename, so a reader never sees half
// a log), followed by one "violation: ..." line per violation.
Result<void> WriteCommandLog(const std::string& path, const std::vector<LoggedCommand>& log,
                             const std::vector<std::string>& violations);

}  // namespace tarnwick::gadget

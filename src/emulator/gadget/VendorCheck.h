#pragma once

#include "emulator/gadget/BulkOnly.h"
#include "link/Fault.h"

namespace tarnwick::gadget {

// Checks a vendor command (0xFB, 0xFC, 0xFD) the host sent against the programmer's command
// tables: a 16-byte command block, well formed for its operation (reserved bytes zero, the
// erase's length bytes zero), and a data phase whose direction and length agree with it (page
// read: in, the length bytes; page write: out, the length bytes; block erase: in, 16 bytes;
// status query: in, the length bytes). Fails saying what is wrong.
Result<void> CheckVendorCommand(const CommandBlockWrapper& cbw);

}  // namespace tarnwick::gadget

#include "emulator/gadget/VendorCheck.h"

#include <string>

#include "link/CommandBlock.h"

namespace tarnwick::gadget {

namespace {

const char* Name(Direction d) {
    switch (d) {
        case Direction::In:
            return "in";
        case Direction::Out:
            return "out";
        case Direction::None:
            break;
    }
    return "none";
}

}  // namespace

Result<void> CheckVendorCommand(const CommandBlockWrapper& cbw) {
    if (cbw.cbLength != 16) {
        return Fail("vendor command in a command block of " + std::to_string(cbw.cbLength) +
                    " bytes, not 16");
    }
    if (auto wellFormed = CheckCommandBlock(cbw.cb); !wellFormed) {
        return wellFormed;
    }
    const DecodedCommand cmd = DecodeCommand(cbw.cb);
    const char* what = "status query";
    Direction wanted = Direction::In;
    std::uint32_t length = cmd.length;
    if (cmd.op == kOpPageRead) {
        what = "page read";
    } else if (cmd.op == kOpPageWrite && cmd.sub == kSubWrite) {
        what = "page write";
        wanted = Direction::Out;
    } else if (cmd.op == kOpPageWrite) {
        what = "block erase";
        length = kReplyLength;
    }
    const Direction host = cbw.HostDirection();
    if (host != wanted || cbw.dataTransferLength != length) {
        return Fail(std::string(what) + " with a data phase of " +
                    std::to_string(cbw.dataTransferLength) + " bytes " + Name(host) +
                    ", the command block asks for " + std::to_string(length) + " bytes " +
                    Name(wanted));
    }
    return {};
}

}  // namespace tarnwick::gadget

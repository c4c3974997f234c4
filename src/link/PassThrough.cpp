#include "link/PassThrough.h"

#include <cstdio>

namespace tarnwick {

std::string TransferFault::Describe() const {
    std::string text = what.empty() ? std::string("exchange failed") : what;
    if (scsiStatus != 0) {
        char buf[32];
        std::snprintf(buf, sizeof buf, ", SCSI status 0x%02x", scsiStatus);
        text += buf;
    }
    if (senseLength > 0) {
        text += ", sense";
        for (std::size_t i = 0; i < senseLength && i < sense.size(); ++i) {
            char buf[8];
            std::snprintf(buf, sizeof buf, " %02x", sense[i]);
            text += buf;
        }
    }
    return text;
}

}  // namespace tarnwick

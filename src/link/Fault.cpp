#include "link/Fault.h"

#include <cstdio>

namespace tarnwick {

Fault& Fault::Within(std::string_view where) & {
    if (where.empty()) {
        return *this;
    }
    context = context.empty() ? std::string(where) : std::string(where) + ": " + context;
    return *this;
}

std::string Fault::Describe() const {
    std::string text = context;
    if (!cause.empty()) {
        text += text.empty() ? cause : ": " + cause;
    }
    if (text.empty()) {
        text = "failed";
    }
    if (scsi.scsiStatus != 0) {
        char buf[32];
        std::snprintf(buf, sizeof buf, ", SCSI status 0x%02x", scsi.scsiStatus);
        text += buf;
    }
    if (scsi.senseLength > 0) {
        text += ", sense";
        for (std::size_t i = 0; i < scsi.senseLength && i < scsi.sense.size(); ++i) {
            char buf[8];
            std::snprintf(buf, sizeof buf, " %02x", scsi.sense[i]);
            text += buf;
        }
    }
    return text;
}

const char* ScsiStatusName(unsigned status) {
    switch (status) {
        case 0x02:
            return "CHECK CONDITION";
        case 0x04:
            return "CONDITION MET";
        case 0x08:
            return "BUSY";
        case 0x18:
            return "RESERVATION CONFLICT";
        case 0x28:
            return "TASK SET FULL";
        case 0x30:
            return "ACA ACTIVE";
        case 0x40:
            return "TASK ABORTED";
        default:
            return "unexpected status";
    }
}

}  // namespace tarnwick

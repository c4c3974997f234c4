#pragma once

#include <array>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <utility>

namespace tarnwick {

// What a failed exchange with a SCSI device left behind. Fields a transport cannot know stay 0.
struct ScsiDetail {
    int hostStatus = 0;
    int driverStatus = 0;
    int scsiStatus = 0;
    std::uint8_t senseLength = 0;
    std::array<std::uint8_t, 32> sense{};
    // Bytes of the data phase that did not move; an exchange that moved fewer bytes than asked
    // failed, whatever its status.
    std::uint32_t residual = 0;
};

// A SCSI status byte other than GOOD by its name ("CHECK CONDITION", "BUSY", ...), the same on
// every platform's transport.
const char* ScsiStatusName(unsigned status);

// Why something failed: the cause as the level that saw it put it, and what each level above
// was doing, outermost first ("page write at 0x001200: SG_IO on /dev/sg0: No such device").
// The one error type of the code. Front ends alone turn it into words for a person.
struct Fault {
    std::string context;  // what failed and where, levels joined by ": "; empty at the source
    std::string cause;    // e.g. "No such device (ENODEV)"
    int sysErrno = 0;     // errno of the failed system call; 0 when there was none
    ScsiDetail scsi;      // for a failed exchange with a device

    static Fault Because(std::string cause, int sysErrno = 0) {
        Fault fault;
        fault.cause = std::move(cause);
        fault.sysErrno = sysErrno;
        return fault;
    }

    // Puts one more level of context in front: what the caller was doing when this failed.
    Fault& Within(std::string_view where) &;
    Fault&& Within(std::string_view where) && { return std::move(Within(where)); }

    // Context and cause, then the SCSI status and sense bytes when there are any.
    std::string Describe() const;
};

// Every operation that can fail returns this: the value, or why there is none.
template <class T = void>
using Result = std::expected<T, Fault>;

inline std::unexpected<Fault> Fail(std::string cause, int sysErrno = 0) {
    return std::unexpected(Fault::Because(std::move(cause), sysErrno));
}

inline std::unexpected<Fault> Fail(Fault fault) {
    return std::unexpected(std::move(fault));
}

// Passes a success through; gives a failure one more level of context.
template <class T>
Result<T> Within(Result<T> result, std::string_view where) {
    if (!result) {
        result.error().Within(where);
    }
    return result;
}

}  // namespace tarnwick

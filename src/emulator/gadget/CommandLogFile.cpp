#include "emulator/gadget/CommandLogFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tarnwick::gadget {

namespace {

Result<void> Publish(const std::string& temporary, const std::string& path) {
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        const std::string why = ec.message();
        std::filesystem::remove(temporary, ec);
        return Fail(Fault::Because(why).Within("cannot write " + path));
    }
    return {};
}

}  // namespace

std::string FormatCommand(const LoggedCommand& c) {
    char line[128];
    std::snprintf(line, sizeof line,
                  "op=%02x sub=%02x address=0x%08x length=%u transfer=%u crc=0x%04x", c.op, c.sub,
                  c.address, unsigned{c.length}, c.transferLength, unsigned{c.crc});
    return line;
}

Result<void> WriteCommandLog(const std::string& path, const std::vector<LoggedCommand>& log,
                             const std::vector<std::string>& violations) {
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::trunc);
        for (const LoggedCommand& c : log) {
            out << FormatCommand(c) << '\n';
        }
        for (const std::string& v : violations) {
            out << "violation: " << v << '\n';
        }
        out.flush();
        if (!out) {
            return Fail("cannot write " + temporary);
        }
    }
    return Publish(temporary, path);
}

}  // namespace tarnwick::gadget

#include "link/CommandBlock.h"

#include <cstdio>

namespace tarnwick {

namespace {

void PutBe32(CommandBlock& cdb, std::size_t at, std::uint32_t v) {
    cdb[at] = static_cast<std::uint8_t>(v >> 24);
    cdb[at + 1] = static_cast<std::uint8_t>(v >> 16);
    cdb[at + 2] = static_cast<std::uint8_t>(v >> 8);
    cdb[at + 3] = static_cast<std::uint8_t>(v);
}

void PutBe16(CommandBlock& cdb, std::size_t at, std::uint32_t v) {
    cdb[at] = static_cast<std::uint8_t>(v >> 8);
    cdb[at + 1] = static_cast<std::uint8_t>(v);
}

void PutLe16(CommandBlock& cdb, std::size_t at, std::uint16_t v) {
    cdb[at] = static_cast<std::uint8_t>(v);
    cdb[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

CommandBlock Make(std::uint8_t op, std::uint8_t sub, std::uint32_t address) {
    CommandBlock cdb{};
    cdb[0] = op;
    cdb[1] = sub;
    PutBe32(cdb, 2, address);
    return cdb;
}

}  // namespace

CommandBlock MakePageRead(std::uint32_t address, std::uint32_t length) {
    CommandBlock cdb = Make(kOpPageRead, kSubPageRead, address);
    PutBe16(cdb, 6, length);
    return cdb;
}

CommandBlock MakePageWrite(std::uint32_t address, std::uint32_t length, std::uint16_t crc) {
    CommandBlock cdb = Make(kOpPageWrite, kSubWrite, address);
    PutBe16(cdb, 6, length);
    PutLe16(cdb, 9, crc);
    return cdb;
}

CommandBlock MakeBlockErase(std::uint32_t address) {
    return Make(kOpPageWrite, kSubErase, address);
}

CommandBlock MakeStatusQuery(std::uint8_t subCode, std::uint32_t address, std::uint32_t length) {
    CommandBlock cdb = Make(kOpStatus, subCode, address);
    PutBe16(cdb, 6, length);
    return cdb;
}

DecodedCommand DecodeCommand(const CommandBlock& cdb) {
    DecodedCommand d;
    d.op = cdb[0];
    d.sub = cdb[1];
    d.address = (std::uint32_t{cdb[2]} << 24) | (std::uint32_t{cdb[3]} << 16) |
                (std::uint32_t{cdb[4]} << 8) | std::uint32_t{cdb[5]};
    d.length = static_cast<std::uint16_t>((cdb[6] << 8) | cdb[7]);
    d.crc = static_cast<std::uint16_t>(cdb[9] | (cdb[10] << 8));
    return d;
}

Result<void> CheckCommandBlock(const CommandBlock& cdb) {
    const DecodedCommand d = DecodeCommand(cdb);
    const bool write = d.op == kOpPageWrite && d.sub == kSubWrite;
    const bool erase = d.op == kOpPageWrite && d.sub == kSubErase;
    if (!(d.op == kOpPageRead && d.sub == kSubPageRead) && !write && !erase && d.op != kOpStatus) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "unknown command %02x/%02x", d.op, d.sub);
        return Fail(buf);
    }
    if (erase && (cdb[6] != 0 || cdb[7] != 0)) {
        return Fail("block erase with non-zero length bytes");
    }
    for (std::size_t i = 8; i < cdb.size(); ++i) {
        const bool crcByte = write && (i == 9 || i == 10);
        if (!crcByte && cdb[i] != 0) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "reserved byte %zu is 0x%02x", i, cdb[i]);
            return Fail(buf);
        }
    }
    return {};
}

}  // namespace tarnwick

#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick {

// CRC-16/XMODEM (poly 0x1021, init 0, no reflection, no final XOR). The device checks page
// writes with it, so host and emulated device share this one. Eight bytes per step through
// tables built at compile time: it is most of the job's own work per page.
std::uint16_t Crc16Xmodem(const std::uint8_t* data, std::size_t length);

}  // namespace tarnwick

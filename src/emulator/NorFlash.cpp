#include "emulator/NorFlash.h"

#include <algorithm>

namespace tarnwick {

NorFlash::NorFlash(std::size_t size) : bytes(size, 0xFF) {}

bool NorFlash::Contains(std::uint64_t address, std::uint64_t length) const {
    return address <= bytes.size() && length <= bytes.size() - address;
}

bool NorFlash::EraseBlock(std::uint32_t address) {
    const std::uint64_t start = address - address % kBlockSize;
    if (!Contains(start, kBlockSize)) {
        return false;
    }
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(start), kBlockSize, 0xFF);
    return true;
}

bool NorFlash::Program(std::uint32_t address, std::span<const std::uint8_t> data) {
    if (!Contains(address, data.size())) {
        return false;
    }
    bool exact = true;
    std::uint8_t* cell = bytes.data() + address;
    for (std::size_t i = 0; i < data.size(); ++i) {
        cell[i] &= data[i];
        exact = exact && cell[i] == data[i];
    }
    return exact;
}

bool NorFlash::Read(std::uint32_t address, std::span<std::uint8_t> out) const {
    if (!Contains(address, out.size())) {
        return false;
    }
    std::copy_n(bytes.begin() + address, out.size(), out.begin());
    return true;
}

}  // namespace tarnwick

#include "emulator/NorFlash.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

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

std::string NorFlash::Save(const std::string& path) const {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        return "cannot write flash image " + path + ": " + std::strerror(errno);
    }
    return {};
}

std::string NorFlash::Load(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return "cannot read flash image " + path + ": " + std::strerror(errno);
    }
    std::vector<std::uint8_t> loaded(bytes.size() + 1, 0xFF);
    file.read(reinterpret_cast<char*>(loaded.data()), static_cast<std::streamsize>(loaded.size()));
    const auto got = static_cast<std::size_t>(file.gcount());
    if (got > bytes.size()) {
        return "flash image " + path + " is larger than the emulated chip";
    }
    loaded.resize(bytes.size());
    bytes = std::move(loaded);
    return {};
}

}  // namespace tarnwick

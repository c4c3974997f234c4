#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/Fault.h"

namespace tarnwick {

// A NOR flash chip: erased bytes read 0xFF, programming can only clear bits, and only a block
// erase sets them again. Not thread-safe; its owner locks.
class NorFlash {
  public:
    static constexpr std::size_t kDefaultSize = 16u << 20;
    static constexpr std::size_t kBlockSize = 0x10000;

    explicit NorFlash(std::size_t size = kDefaultSize);

    std::size_t Size() const { return bytes.size(); }
    bool Contains(std::uint64_t address, std::uint64_t length) const;

    // Erases the block that holds `address`. False when it lies outside the chip.
    bool EraseBlock(std::uint32_t address);
    // ANDs `data` into the cells. False when the range lies outside the chip or a bit would have
    // had to go from 0 to 1 (the cells then hold what the AND left, as on a real chip).
    bool Program(std::uint32_t address, std::span<const std::uint8_t> data);
    // False when the range lies outside the chip.
    bool Read(std::uint32_t address, std::span<std::uint8_t> out) const;

    const std::vector<std::uint8_t>& Bytes() const { return bytes; }

    // The whole chip as a raw image. Save writes a new file beside `path`, flushes it to disk
    // and renames it over the old one, so a full disk or a kill leaves the old image, never a
    // cut one. Load takes only a regular file of exactly the chip's size.
    Result<void> Save(const std::string& path) const;
    Result<void> Load(const std::string& path);

  private:
    std::vector<std::uint8_t> bytes;
};

// Whether Save could write an image at `path`, asked before a job rather than found out after
// it: fails for a directory, a file that cannot be written, a folder in which none can be
// created.
Result<void> CheckFlashFileWritable(const std::string& path);

}  // namespace tarnwick

#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace tarnwick {

// SHA-256 of bytes fed in pieces, by the system's own implementation (nettle on Linux, CNG on
// Windows). Not thread-safe; Final once.
class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(std::span<const std::uint8_t> bytes);
    std::array<std::uint8_t, 32> Final();

  private:
    struct State;
    std::unique_ptr<State> state;
};

}  // namespace tarnwick

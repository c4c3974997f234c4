#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarnwick {

// Byte generator of a 16-bit Galois shift register (polynomial 0x1021), combined with data by
// exclusive or: scrambling twice from the same seed gives the data back.
// The application owns the one instance, so every user draws from one common sequence; a
// sequence is reproducible only from a SetScramblerSeed. Not thread-safe: the dialog's thread
// is its only user.
class Scrambler {
  public:
    static constexpr std::uint16_t kSelfTestSeed = 0x6E19;
    // The third byte is 01, not 02; the vector is kept as the self-test has always used it.
    static constexpr std::array<std::uint8_t, 8> kSelfTestVector{0x00, 0x01, 0x01, 0x03,
                                                                 0x04, 0x05, 0x06, 0x07};

    struct SelfTestBuffers {
        std::array<std::uint8_t, 8> scrambled;  // the vector after the first pass
        std::array<std::uint8_t, 8> restored;   // after unscrambling; equals the vector
    };

    void SetScramblerSeed(std::uint16_t seed) { state_ = seed; }

    // Advances the register eight bit steps and returns the low byte of the new state.
    // A state of 0 stays 0 and yields zero bytes.
    std::uint8_t NextScramblerByte();

    // destination[i] = source[i] ^ NextScramblerByte() for i = 0 .. length-1, ascending; each
    // source byte is read before the destination byte of the same index is written, so the
    // destination may be the source itself. Length 0 leaves the state alone.
    // Returns false, touching neither the buffers nor the state, when `length` exceeds either
    // buffer.
    [[nodiscard]] bool ScrambleBuffer(std::span<const std::uint8_t> source,
                                      std::span<std::uint8_t> destination, std::size_t length);

    // The service button's round trip: scrambles kSelfTestVector from kSelfTestSeed, then
    // unscrambles it from the same seed. Leaves the state eight bytes past the seed; the
    // buffers are returned only for inspection.
    SelfTestBuffers RunSelfTest();

  private:
    std::uint16_t state_ = 0;
};

}  // namespace tarnwick

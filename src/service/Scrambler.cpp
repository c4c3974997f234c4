#include "service/Scrambler.h"

namespace tarnwick {

std::uint8_t Scrambler::NextScramblerByte() {
    for (int step = 0; step < 8; ++step) {
        const bool feedback = (state_ & 0x8000U) != 0;
        state_ = static_cast<std::uint16_t>(state_ << 1U);
        if (feedback) {
            state_ ^= 0x1021U;
        }
    }
    return static_cast<std::uint8_t>(state_ & 0xFFU);
}

bool Scrambler::ScrambleBuffer(std::span<const std::uint8_t> source,
                               std::span<std::uint8_t> destination, std::size_t length) {
    if (length > source.size() || length > destination.size()) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t plain = source[i];
        destination[i] = static_cast<std::uint8_t>(plain ^ NextScramblerByte());
    }
    return true;
}

Scrambler::SelfTestBuffers Scrambler::RunSelfTest() {
    SelfTestBuffers buffers{};
    std::array<std::uint8_t, 8> a = kSelfTestVector;
    SetScramblerSeed(kSelfTestSeed);
    // Both passes cover exactly the 8-byte buffers, so neither can be refused.
    static_cast<void>(ScrambleBuffer(a, buffers.scrambled, a.size()));
    SetScramblerSeed(kSelfTestSeed);
    static_cast<void>(ScrambleBuffer(buffers.scrambled, a, a.size()));
    buffers.restored = a;
    return buffers;
}

}  // namespace tarnwick

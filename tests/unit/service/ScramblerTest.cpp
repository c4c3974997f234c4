#include "service/Scrambler.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The register rule written out bit by bit, independent of the shift-and-xor in the code:
// new bit 0 = old bit 15, new bits 5 and 12 = old bits 4 and 11 each xor old bit 15,
// every other new bit k = old bit k-1.
std::uint16_t ReferenceBitStep(std::uint16_t state) {
    const auto bit = [state](unsigned k) { return (static_cast<unsigned>(state) >> k) & 1U; };
    const unsigned top = bit(15);
    unsigned next = top;
    for (unsigned k = 1; k < 16; ++k) {
        next |= (bit(k - 1) ^ ((k == 5 || k == 12) ? top : 0U)) << k;
    }
    return static_cast<std::uint16_t>(next);
}

// Also serves as data: for any seed but 0 the bytes differ from one another.
Bytes ReferenceBytes(std::uint16_t seed, std::size_t count) {
    Bytes bytes;
    std::uint16_t state = seed;
    for (std::size_t i = 0; i < count; ++i) {
        for (int step = 0; step < 8; ++step) {
            state = ReferenceBitStep(state);
        }
        bytes.push_back(static_cast<std::uint8_t>(state & 0xFFU));
    }
    return bytes;
}

TEST(ScramblerSequence, IsZeroUnseededAndMatchesTheRegisterRuleFromEachSeed) {
    // 8000 -> 1021 -> 2042 -> 4084 -> 8108 -> 1231 -> 2462 -> 48C4 -> 9188, low byte 88;
    // 9188 -> 3331 -> 6662 -> CCC4 -> 89A9 -> 0373 -> 06E6 -> 0DCC -> 1B98, low byte 98.
    EXPECT_EQ(ReferenceBytes(0x8000, 2), (Bytes{0x88, 0x98})) << "the reference itself";
    Scrambler scrambler;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(scrambler.NextScramblerByte(), 0) << "unseeded, byte " << i;
    }
    for (const std::uint16_t seed :
         std::array<std::uint16_t, 6>{0x6E19, 0x8000, 0x0001, 0xFFFF, 0x1234, 0x6E19}) {
        scrambler.SetScramblerSeed(seed);
        const Bytes expected = ReferenceBytes(seed, 300);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(scrambler.NextScramblerByte(), expected[i])
                << "seed 0x" << std::hex << seed << ", byte " << std::dec << i;
        }
    }
}

// Each data byte xor one sequence byte, no more; a length beyond either buffer is refused,
// touching neither the buffers nor the sequence. 65536 and above would be cut by a 16-bit count.
// Seed 0 leaves the data as it is, whatever sequence came before.
TEST(ScramblerBuffer, ScramblesExactlyTheRequestedBytesAndRefusesALengthBeyondEitherBuffer) {
    const struct {
        std::uint16_t seed;
        std::size_t source, destination, length;
        bool accepted;
    } cases[] = {{0x1357, 1, 1, 1, true},
                 {0x1357, 513, 513, 513, true},
                 {0x1357, 65536, 65536, 65536, true},
                 {0x1357, 70001, 70001, 70001, true},
                 {0x1357, 16, 16, 5, true},
                 {0x1357, 0, 0, 0, true},
                 {0x1357, 8, 4, 8, false},
                 {0x1357, 8, 16, 9, false},
                 {0, 256, 256, 256, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "seed " << c.seed << ": " << c.source << " into "
                                        << c.destination << ", " << c.length);
        const Bytes data = ReferenceBytes(9, c.source);
        Bytes out(c.destination, 0x5A);
        Scrambler scrambler;
        scrambler.SetScramblerSeed(0x6E19);
        static_cast<void>(scrambler.NextScramblerByte());
        scrambler.SetScramblerSeed(c.seed);
        EXPECT_EQ(scrambler.ScrambleBuffer(data, out, c.length), c.accepted);
        const std::size_t done = c.accepted ? c.length : 0;
        const Bytes stream = ReferenceBytes(c.seed, done + 1);
        for (std::size_t i = 0; i < done; ++i) {
            ASSERT_EQ(out[i], data[i] ^ stream[i]) << "byte " << i;
        }
        EXPECT_EQ(Bytes(out.begin() + static_cast<std::ptrdiff_t>(done), out.end()),
                  Bytes(c.destination - done, 0x5A));
        EXPECT_EQ(scrambler.NextScramblerByte(), stream[done]);
    }
}

// The round trip from the same seed: scrambled and back, through two buffers.
TEST(ScramblerSelfTest, RestoresTheVectorAndLeavesTheSequenceEightBytesPastItsSeed) {
    const std::array<std::uint8_t, 8> vector{0x00, 0x01, 0x01, 0x03, 0x04, 0x05, 0x06, 0x07};
    const Bytes stream = ReferenceBytes(0x6E19, 20);
    Scrambler scrambler;
    scrambler.SetScramblerSeed(0x9999);  // whatever came before does not matter
    static_cast<void>(scrambler.NextScramblerByte());

    const Scrambler::SelfTestBuffers buffers = scrambler.RunSelfTest();

    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(buffers.scrambled[i], vector[i] ^ stream[i]) << "byte " << i;
    }
    EXPECT_EQ(buffers.restored, vector);
    for (std::size_t i = 8; i < stream.size(); ++i) {
        ASSERT_EQ(scrambler.NextScramblerByte(), stream[i]) << "byte " << i;
    }
}

}  // namespace
}  // namespace tarnwick

#include "service/Scrambler.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
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

Bytes RandomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes bytes(count);
    for (std::uint8_t& b : bytes) {
        b = static_cast<std::uint8_t>(byte(generator));
    }
    return bytes;
}

// --- Byte sequence -------------------------------------------------------------------------

TEST(ScramblerSequence, MatchesTheRegisterRuleAndRestartsFromEachSeed) {
    Scrambler scrambler;
    const std::array<std::uint16_t, 6> seeds{0x6E19, 0x8000, 0x0001, 0xFFFF, 0x1234, 0x6E19};
    for (const std::uint16_t seed : seeds) {
        scrambler.SetScramblerSeed(seed);
        const Bytes expected = ReferenceBytes(seed, 300);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(scrambler.NextScramblerByte(), expected[i])
                << "seed 0x" << std::hex << seed << ", byte " << std::dec << i;
        }
    }
}

TEST(ScramblerSequence, ProducesTheHandComputedFirstBytesFromTheTopBit) {
    // 8000 -> 1021 -> 2042 -> 4084 -> 8108 -> 1231 -> 2462 -> 48C4 -> 9188, low byte 88;
    // 9188 -> 3331 -> 6662 -> CCC4 -> 89A9 -> 0373 -> 06E6 -> 0DCC -> 1B98, low byte 98.
    Scrambler scrambler;
    scrambler.SetScramblerSeed(0x8000);
    EXPECT_EQ(scrambler.NextScramblerByte(), 0x88);
    EXPECT_EQ(scrambler.NextScramblerByte(), 0x98);
}

TEST(ScramblerSequence, YieldsOnlyZerosUnseededOrFromSeedZero) {
    Scrambler fresh;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(fresh.NextScramblerByte(), 0) << "byte " << i;
    }

    Scrambler reseeded;
    reseeded.SetScramblerSeed(0x6E19);
    static_cast<void>(reseeded.NextScramblerByte());
    reseeded.SetScramblerSeed(0);
    const Bytes data = RandomBytes(256, 5);
    Bytes out(data.size(), 0xAA);
    ASSERT_TRUE(reseeded.ScrambleBuffer(data, out, data.size()));
    EXPECT_EQ(out, data);
}

// --- Buffers -------------------------------------------------------------------------------

TEST(ScramblerBuffer, RoundTripsAnyDataFromTheSameSeed) {
    // 65536 and above would be cut short by a 16-bit count.
    for (const std::size_t length : {std::size_t{1}, std::size_t{8}, std::size_t{513},
                                     std::size_t{65535}, std::size_t{65536}, std::size_t{70001}}) {
        for (const std::uint16_t seed : std::array<std::uint16_t, 3>{0x0001, 0x6E19, 0xFFFF}) {
            const Bytes data = RandomBytes(length, seed);
            Bytes scrambled(length);
            Bytes restored(length);
            Scrambler scrambler;

            scrambler.SetScramblerSeed(seed);
            ASSERT_TRUE(scrambler.ScrambleBuffer(data, scrambled, length));
            // One sequence byte per data byte, no more.
            const Bytes stream = ReferenceBytes(seed, length + 1);
            ASSERT_EQ(scrambler.NextScramblerByte(), stream[length]);
            scrambler.SetScramblerSeed(seed);
            ASSERT_TRUE(scrambler.ScrambleBuffer(scrambled, restored, length));

            // Every byte, the last included, was really scrambled; a no-op would round-trip too.
            for (std::size_t i = 0; i < length; ++i) {
                ASSERT_EQ(scrambled[i], data[i] ^ stream[i])
                    << "length " << length << ", seed " << seed << ", byte " << i;
            }
            EXPECT_EQ(restored, data) << "length " << length << ", seed " << seed;
        }
    }
}

TEST(ScramblerBuffer, ScramblesInPlaceLikeIntoASeparateBuffer) {
    const Bytes data = RandomBytes(1000, 3);
    Scrambler separate;
    separate.SetScramblerSeed(0xBEEF);
    Bytes expected(data.size());
    ASSERT_TRUE(separate.ScrambleBuffer(data, expected, data.size()));

    Scrambler inPlace;
    inPlace.SetScramblerSeed(0xBEEF);
    Bytes buffer = data;
    ASSERT_TRUE(inPlace.ScrambleBuffer(buffer, buffer, buffer.size()));
    EXPECT_EQ(buffer, expected);
}

TEST(ScramblerBuffer, WithLengthZeroTouchesNeitherDestinationNorSequence) {
    const Bytes data = RandomBytes(16, 9);
    const Bytes untouched(16, 0x5A);
    Bytes out = untouched;
    Scrambler scrambler;
    scrambler.SetScramblerSeed(0x2468);

    ASSERT_TRUE(scrambler.ScrambleBuffer(data, out, 0));
    ASSERT_TRUE(scrambler.ScrambleBuffer({}, {}, 0));

    EXPECT_EQ(out, untouched);
    EXPECT_EQ(scrambler.NextScramblerByte(), ReferenceBytes(0x2468, 1)[0]);
}

TEST(ScramblerBuffer, WritesOnlyTheRequestedPrefix) {
    const Bytes data = RandomBytes(16, 13);
    Bytes out(16, 0x5A);
    Scrambler scrambler;
    scrambler.SetScramblerSeed(0x1357);

    ASSERT_TRUE(scrambler.ScrambleBuffer(data, out, 5));

    const Bytes stream = ReferenceBytes(0x1357, 5);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(out[i], data[i] ^ stream[i]) << "byte " << i;
    }
    EXPECT_EQ(Bytes(out.begin() + 5, out.end()), Bytes(11, 0x5A));
}

TEST(ScramblerBuffer, RefusesALengthBeyondEitherBufferAndKeepsTheSequence) {
    const Bytes data = RandomBytes(8, 17);
    Bytes small(4, 0x5A);
    Bytes large(16, 0x5A);
    Scrambler scrambler;
    scrambler.SetScramblerSeed(0x7777);

    EXPECT_FALSE(scrambler.ScrambleBuffer(data, small, 8));  // destination too short
    EXPECT_FALSE(scrambler.ScrambleBuffer(data, large, 9));  // source too short

    EXPECT_EQ(small, Bytes(4, 0x5A));
    EXPECT_EQ(large, Bytes(16, 0x5A));
    EXPECT_EQ(scrambler.NextScramblerByte(), ReferenceBytes(0x7777, 1)[0]);
}

// --- Self-test -----------------------------------------------------------------------------

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

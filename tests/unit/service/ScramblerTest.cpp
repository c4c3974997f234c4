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

TEST(ScramblerSequence, MatchesTheRegisterRuleAndRestartsFromEachSeed) {
    // 8000 -> 1021 -> 2042 -> 4084 -> 8108 -> 1231 -> 2462 -> 48C4 -> 9188, low byte 88;
    // 9188 -> 3331 -> 6662 -> CCC4 -> 89A9 -> 0373 -> 06E6 -> 0DCC -> 1B98, low byte 98.
    EXPECT_EQ(ReferenceBytes(0x8000, 2), (Bytes{0x88, 0x98})) << "the reference itself";
    Scrambler scrambler;
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

TEST(ScramblerSequence, YieldsOnlyZerosUnseededOrFromSeedZero) {
    Scrambler fresh;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(fresh.NextScramblerByte(), 0) << "byte " << i;
    }
    Scrambler reseeded;
    reseeded.SetScramblerSeed(0x6E19);
    static_cast<void>(reseeded.NextScramblerByte());
    reseeded.SetScramblerSeed(0);
    const Bytes data = ReferenceBytes(5, 256);
    Bytes out(data.size(), 0xAA);
    ASSERT_TRUE(reseeded.ScrambleBuffer(data, out, data.size()));
    EXPECT_EQ(out, data);
}

TEST(ScramblerBuffer, RoundTripsAnyDataFromTheSameSeedInPlaceOrNot) {
    // 65536 and above would be cut short by a 16-bit count.
    for (const std::size_t length : std::array<std::size_t, 6>{1, 8, 513, 65535, 65536, 70001}) {
        for (const std::uint16_t seed : std::array<std::uint16_t, 3>{0x0001, 0x6E19, 0xFFFF}) {
            SCOPED_TRACE(testing::Message() << "length " << length << ", seed " << seed);
            const Bytes data = ReferenceBytes(static_cast<std::uint16_t>(seed + 7), length);
            Bytes scrambled(length);
            Scrambler scrambler;
            scrambler.SetScramblerSeed(seed);
            ASSERT_TRUE(scrambler.ScrambleBuffer(data, scrambled, length));
            // One sequence byte per data byte, no more.
            const Bytes stream = ReferenceBytes(seed, length + 1);
            ASSERT_EQ(scrambler.NextScramblerByte(), stream[length]);
            // Every byte, the last included, was really scrambled; a no-op would round-trip too.
            for (std::size_t i = 0; i < length; ++i) {
                ASSERT_EQ(scrambled[i], data[i] ^ stream[i]) << "byte " << i;
            }
            scrambler.SetScramblerSeed(seed);
            ASSERT_TRUE(scrambler.ScrambleBuffer(scrambled, scrambled, length));  // in place
            EXPECT_EQ(scrambled, data);
        }
    }
}

// Length 0 or a prefix: only those bytes, and only that many sequence bytes. A length beyond
// either buffer: refused, touching neither the buffers nor the sequence.
TEST(ScramblerBuffer, WritesOnlyTheRequestedPrefixAndRefusesALengthBeyondEitherBuffer) {
    const auto check = [](std::size_t sourceSize, std::size_t destinationSize, std::size_t length,
                          bool accepted) {
        SCOPED_TRACE(testing::Message()
                     << sourceSize << " into " << destinationSize << ", " << length);
        const Bytes data = ReferenceBytes(9, sourceSize);
        Bytes out(destinationSize, 0x5A);
        Scrambler scrambler;
        scrambler.SetScramblerSeed(0x1357);
        EXPECT_EQ(scrambler.ScrambleBuffer(data, out, length), accepted);
        const std::size_t done = accepted ? length : 0;
        const Bytes stream = ReferenceBytes(0x1357, done + 1);
        for (std::size_t i = 0; i < done; ++i) {
            EXPECT_EQ(out[i], data[i] ^ stream[i]) << "byte " << i;
        }
        EXPECT_EQ(Bytes(out.begin() + static_cast<std::ptrdiff_t>(done), out.end()),
                  Bytes(destinationSize - done, 0x5A));
        EXPECT_EQ(scrambler.NextScramblerByte(), stream[done]);
    };
    check(16, 16, 5, true);
    check(16, 16, 0, true);
    check(0, 0, 0, true);
    check(8, 4, 8, false);   // destination too short
    check(8, 16, 9, false);  // source too short
}

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

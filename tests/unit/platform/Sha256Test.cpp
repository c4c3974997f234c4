#include "platform/Sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

std::string Hex(const std::array<std::uint8_t, 32>& sum) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t b : sum) {
        text += kHex[b >> 4];
        text += kHex[b & 0xF];
    }
    return text;
}

// The published test vectors, fed in pieces of an odd size so the joins between pieces count.
TEST(Sha256, GivesThePublishedDigestsWhateverThePieces) {
    const struct {
        std::string bytes;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1'000'000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.digest);
        const std::vector<std::uint8_t> bytes(c.bytes.begin(), c.bytes.end());
        Sha256 sha;
        for (std::size_t at = 0; at < bytes.size(); at += 37) {
            sha.Update(std::span(bytes).subspan(at, std::min<std::size_t>(37, bytes.size() - at)));
        }
        EXPECT_EQ(Hex(sha.Final()), c.digest);
    }
}

}  // namespace
}  // namespace tarnwick

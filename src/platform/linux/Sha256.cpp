#include "platform/Sha256.h"

#include <nettle/sha2.h>

namespace tarnwick {

struct Sha256::State {
    sha256_ctx ctx;
};

Sha256::Sha256() : state(std::make_unique<State>()) {
    sha256_init(&state->ctx);
}

Sha256::~Sha256() = default;

void Sha256::Update(std::span<const std::uint8_t> bytes) {
    sha256_update(&state->ctx, bytes.size(), bytes.data());
}

std::array<std::uint8_t, 32> Sha256::Final() {
    std::array<std::uint8_t, 32> sum{};
    sha256_digest(&state->ctx, sum.size(), sum.data());
    return sum;
}

}  // namespace tarnwick

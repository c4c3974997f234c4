#include "platform/Sha256.h"

#include <windows.h>

#include <bcrypt.h>

#include <stdexcept>

namespace tarnwick {

namespace {

void Check(NTSTATUS status, const char* call) {
    if (status < 0) {
        throw std::runtime_error(std::string(call) + " failed");
    }
}

}  // namespace

struct Sha256::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
};

// CNG fails here only when the system lacks SHA-256 or memory: nothing a caller can go on from.
Sha256::Sha256() : state(std::make_unique<State>()) {
    Check(::BCryptOpenAlgorithmProvider(&state->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0),
          "BCryptOpenAlgorithmProvider");
    Check(::BCryptCreateHash(state->algorithm, &state->hash, nullptr, 0, nullptr, 0, 0),
          "BCryptCreateHash");
}

Sha256::~Sha256() {
    if (state->hash != nullptr) {
        ::BCryptDestroyHash(state->hash);
    }
    if (state->algorithm != nullptr) {
        ::BCryptCloseAlgorithmProvider(state->algorithm, 0);
    }
}

void Sha256::Update(std::span<const std::uint8_t> bytes) {
    // CNG takes a ULONG length: big spans go in pieces.
    while (!bytes.empty()) {
        const auto piece = bytes.first(std::min<std::size_t>(bytes.size(), 1u << 30));
        Check(::BCryptHashData(state->hash, const_cast<PUCHAR>(piece.data()),
                               static_cast<ULONG>(piece.size()), 0),
              "BCryptHashData");
        bytes = bytes.subspan(piece.size());
    }
}

std::array<std::uint8_t, 32> Sha256::Final() {
    std::array<std::uint8_t, 32> sum{};
    Check(::BCryptFinishHash(state->hash, sum.data(), static_cast<ULONG>(sum.size()), 0),
          "BCryptFinishHash");
    return sum;
}

}  // namespace tarnwick

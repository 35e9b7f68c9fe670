#include "util/sha256.h"

#include <windows.h>

#include <bcrypt.h>

#include <array>
#include <stdexcept>

namespace hub {

namespace {

// The provider fails only when the system itself is broken; its status adds nothing for a user.
void require(NTSTATUS status, const char* failure) {
    if (!BCRYPT_SUCCESS(status)) {
        throw std::runtime_error(failure);
    }
}

constexpr std::size_t digestBytes = 32;

} // namespace

struct Sha256::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;

    State() {
        require(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0),
                "unable to start the SHA-256 hash");
        if (const NTSTATUS status = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
            !BCRYPT_SUCCESS(status)) {
            BCryptCloseAlgorithmProvider(algorithm, 0); // the destructor of a failed one never runs
            require(status, "unable to start the SHA-256 hash");
        }
    }
    ~State() {
        if (hash != nullptr) {
            BCryptDestroyHash(hash);
        }
        BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {}

Sha256::~Sha256() = default;

void Sha256::add(std::string_view data) {
    // One call takes at most 4 GiB; the callers hand over pieces of a download.
    require(BCryptHashData(state_->hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())),
                           static_cast<ULONG>(data.size()), 0),
            "unable to compute the SHA-256 hash");
}

std::string Sha256::finishHex() {
    std::array<UCHAR, digestBytes> digest{};
    require(BCryptFinishHash(state_->hash, digest.data(), digestBytes, 0),
            "unable to compute the SHA-256 hash");
    static constexpr char hexDigits[] = "0123456789abcdef";
    std::string text;
    for (const UCHAR byte : digest) {
        text += hexDigits[byte >> 4];
        text += hexDigits[byte & 0x0F];
    }
    return text;
}

} // namespace hub

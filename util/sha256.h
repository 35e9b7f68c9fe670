#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace hub {

// SHA-256 of data given in pieces, through the system's cryptography provider (BCrypt), so that
// a download is hashed while it is written and never read a second time.
class Sha256 {
public:
    Sha256(); // fails with "unable to start the SHA-256 hash"
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(std::string_view data);
    // The digest as 64 lower-case hexadecimal digits; the object is done with afterwards.
    [[nodiscard]] std::string finishHex();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace hub

#pragma once

#include <cstdint>

namespace hub::test {

// A TCP port on 127.0.0.1 that listens but never accepts: connections wait in its backlog and
// nothing is ever answered. Shows whether a client tried to connect at all, and stands for a
// server that does not answer.
class SilentListener {
public:
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    [[nodiscard]] std::uint16_t port() const noexcept { return port_; }

    // A connection is waiting in the backlog.
    [[nodiscard]] bool connectionAttempted() const;

private:
    std::uintptr_t socket_;
    std::uint16_t port_ = 0;
};

} // namespace hub::test

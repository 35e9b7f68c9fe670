#include "harness/silent_listener.h"

#include <winsock2.h>

#include <stdexcept>
#include <string>

namespace hub::test {

SilentListener::SilentListener() {
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        throw std::runtime_error("silent listener: WSAStartup failed");
    }
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    if (socket_ == INVALID_SOCKET ||
        bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(socket_, 4) != 0 ||
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        const int error = WSAGetLastError();
        closesocket(socket_);
        WSACleanup();
        throw std::runtime_error("silent listener: no listening socket, error " +
                                 std::to_string(error));
    }
    port_ = ntohs(address.sin_port);
}

SilentListener::~SilentListener() {
    closesocket(socket_);
    WSACleanup();
}

bool SilentListener::connectionAttempted() const {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval noWait{};
    const int ready = select(0, &readable, nullptr, nullptr, &noWait);
    if (ready == SOCKET_ERROR) {
        throw std::runtime_error("silent listener: select failed with " +
                                 std::to_string(WSAGetLastError()));
    }
    return ready > 0;
}

} // namespace hub::test

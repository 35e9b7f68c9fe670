#pragma once

#include <string_view>

namespace hub {

// The private virtual host that the web view maps to the interface folder. The ".example"
// top-level domain is reserved, so the name can never reach a real internet host.
inline constexpr std::wstring_view interfaceHost = L"hub-interface.orvantis.example";
inline constexpr std::wstring_view interfaceStartAddress =
    L"https://hub-interface.orvantis.example/index.html";

// Whether an address belongs to the interface: "https://", the host and "/", compared code unit
// by code unit (so "https://host.evil/", "https://host@evil/" and "HTTPS://host/" do not).
inline bool isInterfaceAddress(std::wstring_view address) noexcept {
    constexpr std::wstring_view scheme = L"https://";
    return address.starts_with(scheme) &&
           address.substr(scheme.size()).starts_with(interfaceHost) &&
           address.substr(scheme.size() + interfaceHost.size()).starts_with(L'/');
}

} // namespace hub

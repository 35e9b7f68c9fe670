#pragma once

#include <string>
#include <string_view>

namespace hub {

// The maker's two https origins ("https://" and the host, no trailing slash). They are fixed
// when the program is built (CMake cache variables HUB_WEB_ORIGIN and HUB_DOCUMENTATION_ORIGIN);
// every address of the program is made from one of them.
std::string_view webOrigin() noexcept;
std::string_view documentationOrigin() noexcept;

// The origin followed by path, which starts with "/".
std::string webUrl(std::string_view path);
std::string documentationUrl(std::string_view path);

// A pair of origins to make addresses from. The program uses the built-in pair; the test
// host hands in the local test server's origins instead.
struct Origins {
    std::string web;
    std::string documentation;

    [[nodiscard]] std::string webUrl(std::string_view path) const;
    [[nodiscard]] std::string documentationUrl(std::string_view path) const;
};

Origins builtInOrigins();

} // namespace hub

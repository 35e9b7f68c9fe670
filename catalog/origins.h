#pragma once

#include <string>
#include <string_view>

namespace hub {

// The maker's two https origins ("https://" and the host, no trailing slash) to make addresses
// from. The program uses the built-in pair, fixed when it is built (CMake cache variables
// HUB_WEB_ORIGIN and HUB_DOCUMENTATION_ORIGIN); the test host hands in the local test server's
// origins instead.
struct Origins {
    std::string web;
    std::string documentation;

    // The origin followed by path, which starts with "/".
    [[nodiscard]] std::string webUrl(std::string_view path) const;
    [[nodiscard]] std::string documentationUrl(std::string_view path) const;
};

Origins builtInOrigins();

} // namespace hub

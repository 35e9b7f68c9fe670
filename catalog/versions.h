#pragma once

#include <string_view>

namespace hub {

// A version as the package catalog may name it: 1 to 64 bytes, an optional leading "v" or
// "V", three dot-separated decimal fields, and optionally "-" or "+" with a non-empty suffix of
// ASCII letters, digits, "+", "-" and ".". Examples: "1.2.3", "V1.2.3", "1.2.3-beta.1".
bool isValidVersion(std::string_view text) noexcept;

// Orders any two strings as versions: -1, 0 or 1. A leading "v"/"V" and build information
// after "+" are ignored; dot-separated fields compare as numbers when both sides are decimal
// numbers that fit 64 bits, else byte by byte, a missing or empty field counting as "0"; with
// equal fields a pre-release (text after "-") is lower than none. "1.0" equals "1.0.0".
int compareVersions(std::string_view a, std::string_view b) noexcept;

} // namespace hub

#include "install/long_path.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace hub {

namespace {

constexpr std::wstring_view longPrefix = LR"(\\?\)";

bool isAsciiLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

} // namespace

std::filesystem::path toLongPath(const std::filesystem::path& path) {
    // Names with the prefix bypass the system's own normalisation, so they are kept verbatim.
    if (path.native().starts_with(longPrefix)) {
        return path;
    }
    std::wstring text = path.lexically_normal().native();
    std::replace(text.begin(), text.end(), L'/', L'\\');
    if (text.starts_with(longPrefix)) {
        return text;
    }
    if (text.size() >= 2 && isAsciiLetter(text[0]) && text[1] == L':') {
        return text.size() >= 3 && text[2] == L'\\' ? std::wstring(longPrefix) + text : text;
    }
    if (text.starts_with(LR"(\\)")) {
        return LR"(\\?\UNC\)" + text.substr(2);
    }
    return text;
}

} // namespace hub

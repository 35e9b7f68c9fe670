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

std::wstring withBackslashes(std::wstring text) {
    std::replace(text.begin(), text.end(), L'/', L'\\');
    return text;
}

std::wstring normalised(const std::filesystem::path& path) {
    return withBackslashes(path.lexically_normal().native());
}

} // namespace

std::filesystem::path toLongPath(const std::filesystem::path& path) {
    const std::wstring text = withBackslashes(path.native());
    // Names with the prefix bypass the system's own normalisation, so they are kept verbatim.
    if (text.starts_with(longPrefix)) {
        return text;
    }
    // The lexical normalisation would fold a UNC name's leading pair of separators.
    if (text.starts_with(LR"(\\)")) {
        return LR"(\\?\UNC\)" + normalised(text.substr(2));
    }
    const std::wstring normal = normalised(text);
    if (normal.size() >= 2 && isAsciiLetter(normal[0]) && normal[1] == L':') {
        return normal.size() >= 3 && normal[2] == L'\\' ? std::wstring(longPrefix) + normal
                                                        : normal;
    }
    return normal;
}

} // namespace hub

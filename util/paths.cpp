#include "util/paths.h"

#include "util/text.h"

#include <windows.h>

namespace hub {

namespace {

std::wstring comparablePath(const std::filesystem::path& path) {
    return withoutTrailingSeparators(path.lexically_normal()).native();
}

} // namespace

std::string pathToUtf8(const std::filesystem::path& path) {
    return toUtf8(path.native());
}

bool samePath(const std::filesystem::path& a, const std::filesystem::path& b) noexcept {
    try {
        return equalsIgnoreCase(comparablePath(a), comparablePath(b));
    } catch (...) {
        return false;
    }
}

bool pathExists(const std::filesystem::path& path) noexcept {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::filesystem::path withoutTrailingSeparators(const std::filesystem::path& path) {
    std::wstring text = path.native();
    const auto isSeparator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    const auto isDriveRoot = [&text] { return text.size() == 3 && text[1] == L':'; };
    while (text.size() > 1 && isSeparator(text.back()) && !isDriveRoot()) {
        text.pop_back();
    }
    return text;
}

bool isDirectory(const std::filesystem::path& path) noexcept {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

bool isRegularFile(const std::filesystem::path& path) noexcept {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

bool isAbsolutePath(const std::filesystem::path& path) noexcept {
    const std::wstring& text = path.native();
    const auto separator = [&text](std::size_t at) {
        return text.size() > at && (text[at] == L'\\' || text[at] == L'/');
    };
    const bool drive =
        text.size() >= 2 && text[1] == L':' &&
        ((text[0] >= L'A' && text[0] <= L'Z') || (text[0] >= L'a' && text[0] <= L'z'));
    return (drive && separator(2)) || (separator(0) && separator(1));
}

bool isPlainName(const std::filesystem::path& name) noexcept {
    const std::wstring& text = name.native();
    return !text.empty() && text != L"." && text != L".." &&
           text.find_first_of(L"\\/:") == std::wstring::npos;
}

std::string leafName(const std::filesystem::path& path) {
    return pathToUtf8(path.filename());
}

} // namespace hub

#include "util/text.h"

#include <windows.h>

#include <cctype>
#include <limits>
#include <stdexcept>

namespace hub {

namespace {

int checkedLength(std::size_t size, const char* message) {
    if (size > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw std::runtime_error(message);
    }
    return static_cast<int>(size);
}

std::wstring convertToWide(UINT codePage, std::string_view text, int length) {
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        length);
    return result;
}

int wideLength(UINT codePage, DWORD flags, std::string_view text) {
    return MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr,
                               0);
}

bool isTrimmedByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x80 && std::isspace(byte) != 0;
}

} // namespace

std::wstring toWide(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    checkedLength(utf8.size(), "invalid UTF-8 text");
    const int length = wideLength(CP_UTF8, 0, utf8);
    if (length < 1) {
        throw std::runtime_error("invalid UTF-8 text");
    }
    return convertToWide(CP_UTF8, utf8, length);
}

std::string toUtf8(std::wstring_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int size = checkedLength(utf16.size(), "invalid UTF-16 text");
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    if (length < 1) {
        throw std::runtime_error("invalid UTF-16 text");
    }
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, result.data(), length, nullptr, nullptr);
    return result;
}

std::wstring toWideLenient(std::string_view text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return text.empty() ? std::wstring{} : std::wstring{L"?"};
    }
    for (const auto& [codePage, flags] : {std::pair<UINT, DWORD>{CP_UTF8, MB_ERR_INVALID_CHARS},
                                          std::pair<UINT, DWORD>{CP_ACP, 0}}) {
        if (wideLength(codePage, flags, text) > 0) {
            const int length = wideLength(codePage, 0, text);
            return convertToWide(codePage, text, length);
        }
    }
    return L"?";
}

bool equalsIgnoreCase(std::wstring_view a, std::wstring_view b) noexcept {
    if (a.size() != b.size()) {
        return false;
    }
    if (a.empty()) {
        return true;
    }
    if (a.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return false;
    }
    const int size = static_cast<int>(a.size());
    return CompareStringOrdinal(a.data(), size, b.data(), size, TRUE) == CSTR_EQUAL;
}

std::string trimmed(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isTrimmedByte(text[begin])) {
        ++begin;
    }
    while (end > begin && isTrimmedByte(text[end - 1])) {
        --end;
    }
    return std::string{text.substr(begin, end - begin)};
}

} // namespace hub

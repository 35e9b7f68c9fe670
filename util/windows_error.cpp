#include "util/windows_error.h"

#include "util/text.h"

#include <windows.h>

namespace hub {

namespace {

constexpr DWORD englishUnitedStates = 1033;

std::wstring systemMessage(std::uint32_t code, DWORD language) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (buffer == nullptr) {
        return {};
    }
    std::wstring text(buffer, length);
    LocalFree(buffer);
    return text;
}

} // namespace

std::string windowsErrorText(std::uint32_t code) noexcept {
    try {
        std::wstring text = systemMessage(code, englishUnitedStates);
        if (text.empty()) {
            text = systemMessage(code, 0);
        }
        while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' ||
                                 text.back() == L' ' || text.back() == L'.')) {
            text.pop_back();
        }
        if (!text.empty()) {
            return toUtf8(text);
        }
    } catch (const std::exception&) {
        // An unconvertible system text is reported by its number like an unknown one.
    }
    return "Windows error " + std::to_string(code);
}

std::runtime_error windowsError(std::string_view message, std::uint32_t code) {
    return std::runtime_error(std::string{message} + ": " + windowsErrorText(code));
}

} // namespace hub

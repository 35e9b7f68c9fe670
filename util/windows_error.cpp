#include "util/windows_error.h"

#include "util/text.h"

#include <winsock2.h>

#include <windows.h>

#include <winhttp.h>

namespace hub {

namespace {

constexpr DWORD englishUnitedStates = 1033;

// The message of the code from the module's message table, or the system's when module is null.
std::wstring formattedMessage(HMODULE module, std::uint32_t code, DWORD language) {
    wchar_t* buffer = nullptr;
    const DWORD source =
        module != nullptr ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | source | FORMAT_MESSAGE_IGNORE_INSERTS,
                       module, code, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (buffer == nullptr) {
        return {};
    }
    std::wstring text(buffer, length);
    LocalFree(buffer);
    return text;
}

std::wstring messageOf(HMODULE module, std::uint32_t code) {
    std::wstring text = formattedMessage(module, code, englishUnitedStates);
    return text.empty() ? formattedMessage(module, code, 0) : text;
}

bool isWinHttpError(std::uint32_t code) {
    return code > WINHTTP_ERROR_BASE && code <= WINHTTP_ERROR_BASE + 192;
}

// Short texts for the network errors a download meets most, where no message table has them
// (Wine's winhttp.dll has none, nor its system table the socket errors that its WinHTTP passes
// on).
const wchar_t* ownNetworkText(std::uint32_t code) {
    switch (code) {
    case WSAETIMEDOUT:
    case ERROR_WINHTTP_TIMEOUT:
        return L"The server did not answer in time";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return L"The server name could not be found";
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return L"No connection could be made to the server";
    case WSAECONNRESET:
    case ERROR_WINHTTP_CONNECTION_ERROR:
        return L"The connection to the server was reset or ended";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return L"The server sent an answer that could not be understood";
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        return L"The server's certificate has expired or is not yet valid";
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        return L"The server's certificate belongs to another name";
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        return L"The server's certificate is not trusted";
    default:
        return L"";
    }
}

// WinHTTP's errors have their texts in winhttp.dll, not in the system's table.
std::wstring errorMessage(std::uint32_t code) {
    std::wstring text =
        messageOf(isWinHttpError(code) ? GetModuleHandleW(L"winhttp.dll") : nullptr, code);
    return text.empty() ? ownNetworkText(code) : text;
}

} // namespace

std::string windowsErrorText(std::uint32_t code) noexcept {
    try {
        std::wstring text = errorMessage(code);
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

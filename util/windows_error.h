#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace hub {

// The system's English text for a Windows error code, without trailing line breaks, blanks
// or full stops; "Windows error " and the unsigned code when the system has no text. WinHTTP's
// errors (12001 to 12192) take their text from winhttp.dll. The common network failures
// (time-out, connection reset or ended, host not found, certificate not trusted or expired) get
// a short text of ours where no message table has one.
std::string windowsErrorText(std::uint32_t code) noexcept;

// A runtime error reading message + ": " + windowsErrorText(code).
std::runtime_error windowsError(std::string_view message, std::uint32_t code);

} // namespace hub

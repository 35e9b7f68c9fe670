#pragma once

#include <string>
#include <string_view>

namespace hub {

// UTF-8 to UTF-16. Malformed sequences are replaced by the system; fails with
// "invalid UTF-8 text" only when the conversion itself fails. Paths are built from the result.
std::wstring toWide(std::string_view utf8);

// UTF-16 to UTF-8; fails with "invalid UTF-16 text".
std::string toUtf8(std::wstring_view utf16);

// Text that must be shown whatever its bytes are: strict UTF-8, else the ANSI code page,
// else "?". Never fails.
std::wstring toWideLenient(std::string_view text);

// Ordinal comparison ignoring case; embedded NULs take part.
bool equalsIgnoreCase(std::wstring_view a, std::wstring_view b) noexcept;

// Removes ASCII white space from both ends; bytes of 0x80 and above always stay.
std::string trimmed(std::string_view text);

} // namespace hub

#pragma once

#include <string_view>

namespace hub {

// Puts UTF-8 text on the Windows clipboard as Unicode text, replacing what was there. Fails with
// "Unable to copy to the clipboard: " and the system's text.
void copyTextToClipboard(std::string_view text);

} // namespace hub

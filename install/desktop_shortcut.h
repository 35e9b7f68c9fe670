#pragma once

#include <filesystem>
#include <string_view>

namespace hub {

// Writes "<shortcutName>.lnk" to the user's Desktop, starting executable with arguments in the
// executable's folder and showing its icon; an existing shortcut of that name is replaced.
// Needs COM initialised on the calling thread. Fails with "The application executable cannot
// be found.", "Unable to locate the Windows Desktop folder.", "Unable to create the desktop
// shortcut.", "Unable to configure the desktop shortcut.", "Unable to configure the desktop
// shortcut arguments." or "Unable to save the desktop shortcut.".
void createDesktopShortcut(const std::filesystem::path& executable, std::wstring_view arguments,
                           std::wstring_view shortcutName);

} // namespace hub

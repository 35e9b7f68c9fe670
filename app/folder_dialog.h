#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

namespace hub {

// The system's folder dialog owned by `owner`, opened at `initialFolder` when that is an
// existing folder. Returns the chosen folder, or nothing when the user cancelled or the choice
// has no file-system path; throws "unable to open the folder picker" when the dialog cannot be
// created.
std::optional<std::filesystem::path> showFolderDialog(HWND owner, const std::wstring& title,
                                                      const std::filesystem::path& initialFolder);

} // namespace hub

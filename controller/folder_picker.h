#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace hub {

// The folder dialog that the window offers the controller: called with a title and an initial
// folder, it returns the chosen folder, or nothing when the user cancelled. It may throw with a
// finished user text when the dialog cannot be shown.
using FolderPicker = std::function<std::optional<std::filesystem::path>(
    const std::wstring& title, const std::filesystem::path& initialFolder)>;

} // namespace hub

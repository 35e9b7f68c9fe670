#pragma once

#include <filesystem>

namespace hub {

// The update framework's "Update.exe" for a hub whose executable lives in programFolder: an
// installed hub runs from the "current" folder, with "sq.version" beside it and the tool in
// the installation root above it. Empty for a portable copy (".portable" in the root) and for
// anything that is not such an installation.
std::filesystem::path locateUpdateTool(const std::filesystem::path& programFolder);

// Starts the tool's uninstaller and returns at once; the tool ends the hub itself.
void startUninstaller(const std::filesystem::path& updateTool);

} // namespace hub

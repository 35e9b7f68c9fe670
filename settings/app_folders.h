#pragma once

#include <filesystem>

namespace hub {

// The per-user paths of the hub, computed once at start-up.
struct AppFolders {
    std::filesystem::path dataFolder;         // LocalAppData\Orvantis\Hub
    std::filesystem::path localAppDataFolder; // also the root of installed applications
    std::filesystem::path settingsFile;
    std::filesystem::path webViewDataFolder;
    std::filesystem::path logFile;
};

// The folders under the user's Local AppData folder, created where needed, with the
// settings of an older version copied in once.
AppFolders createAppFolders();

// The same under a given Local AppData folder.
AppFolders createAppFoldersUnder(const std::filesystem::path& localAppData);

} // namespace hub

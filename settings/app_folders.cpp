#include "settings/app_folders.h"

#include "util/known_folder.h"
#include "util/paths.h"

#include <shlobj.h>

namespace hub {

namespace {

void createFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        throw std::filesystem::filesystem_error("create_directories", folder, error);
    }
}

// Older versions kept their settings in LocalAppData\Orvantis_Hub. The file is copied once,
// when the current one does not exist yet; it is never changed or removed, and a failed copy
// only means default settings.
void copyLegacySettings(const std::filesystem::path& localAppData,
                        const std::filesystem::path& settingsFile) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::status(settingsFile, error))) {
        return;
    }
    const auto legacy = localAppData / L"Orvantis_Hub" / L"settings.json";
    if (isRegularFile(legacy)) {
        std::filesystem::copy_file(legacy, settingsFile,
                                   std::filesystem::copy_options::skip_existing, error);
    }
}

} // namespace

AppFolders createAppFolders() {
    return createAppFoldersUnder(knownFolderPath(FOLDERID_LocalAppData));
}

AppFolders createAppFoldersUnder(const std::filesystem::path& localAppData) {
    AppFolders folders;
    folders.dataFolder = localAppData / L"Orvantis" / L"Hub";
    folders.localAppDataFolder = localAppData;
    folders.settingsFile = folders.dataFolder / L"settings.json";
    folders.webViewDataFolder = folders.dataFolder / L"WebView2";
    folders.logFile = folders.dataFolder / L"hub.log";
    createFolder(folders.dataFolder);
    createFolder(folders.localAppDataFolder);
    copyLegacySettings(localAppData, folders.settingsFile);
    return folders;
}

} // namespace hub

#pragma once

#include "catalog/catalog.h"
#include "settings/app_folders.h"

#include <filesystem>
#include <vector>

namespace hub {

// The folders that the hub replaces or removes whole: its data folder, which holds the work
// folders every install deletes, and the folder of each application in the catalog. A Community
// folder inside one of them would lose the user's packages.
std::vector<std::filesystem::path> ownedFolders(const AppFolders& folders,
                                                const std::vector<CatalogComponent>& components);

// The folder is one of the owned folders or lies inside one (by file identity, see
// isWithinFolder).
bool isInsideOwnedFolder(const std::filesystem::path& folder,
                         const std::vector<std::filesystem::path>& owned);

// The folder can serve as the Community folder: absolute, an existing folder, not owned.
bool isUsableCommunityFolder(const std::filesystem::path& folder,
                             const std::vector<std::filesystem::path>& owned);

} // namespace hub

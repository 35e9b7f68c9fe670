#pragma once

#include <filesystem>

namespace hub {

// Whether folder is root or lies below it. Each ancestor of the folder, as given and as the
// system resolves it, is compared with root by file identity (volume serial number and file
// index), so that long forms, short names, junctions and substituted drives are seen through.
// Where an identity cannot be read (root or an ancestor that does not exist) the names are
// compared instead, ignoring case.
bool isWithinFolder(const std::filesystem::path& folder,
                    const std::filesystem::path& root) noexcept;

} // namespace hub

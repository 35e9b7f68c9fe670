#pragma once

#include <guiddef.h>

#include <filesystem>

namespace hub {

// The path of a Windows known folder such as FOLDERID_LocalAppData; fails with
// "unable to locate a Windows user folder".
std::filesystem::path knownFolderPath(const GUID& folderId);

// The user's Desktop folder, created when it is missing; fails with "Unable to locate the
// Windows Desktop folder.".
std::filesystem::path desktopFolder();

} // namespace hub

#pragma once

#include <guiddef.h>

#include <filesystem>

namespace hub {

// The path of a Windows known folder such as FOLDERID_LocalAppData; fails with
// "unable to locate a Windows user folder".
std::filesystem::path knownFolderPath(const GUID& folderId);

} // namespace hub

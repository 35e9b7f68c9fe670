#pragma once

#include <filesystem>

namespace hub {

// The running executable's path, and its folder; both fail with "unable to locate the
// executable folder".
std::filesystem::path executablePath();
std::filesystem::path executableFolder();

// A folder shipped beside the executable (such as "ui"): the executable folder's one when it
// exists, else the current directory's, else the executable folder's one all the same.
std::filesystem::path findResourceFolder(const std::filesystem::path& executableFolder,
                                         const std::filesystem::path& name);

} // namespace hub

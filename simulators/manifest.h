#pragma once

#include <filesystem>
#include <string>

namespace hub {

// The trimmed "package_version" of the "manifest.json" in the package folder; empty when the
// file is missing or unreadable, is not valid JSON or holds no such text. Never throws.
std::string readManifestVersion(const std::filesystem::path& packageFolder) noexcept;

} // namespace hub

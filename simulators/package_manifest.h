#pragma once

#include <filesystem>
#include <istream>
#include <string>

namespace hub {

// The "package_version" of the "manifest.json" in a package folder, without surrounding white
// space; empty when the file is missing or unreadable, is not valid JSON, or has no such
// string at its top level. Never throws.
std::string readManifestVersion(const std::filesystem::path& packageFolder) noexcept;

// The same from the manifest's content.
std::string readManifestVersion(std::istream& manifest) noexcept;

} // namespace hub

#include "simulators/package_manifest.h"

#include "util/json_field.h"
#include "util/text.h"

#include <fstream>

namespace hub {

std::string readManifestVersion(const std::filesystem::path& packageFolder) noexcept {
    try {
        std::ifstream stream(packageFolder / L"manifest.json", std::ios::binary);
        return stream ? readManifestVersion(stream) : std::string{};
    } catch (...) {
        return {}; // a path that cannot be opened reads as no manifest
    }
}

std::string readManifestVersion(std::istream& manifest) noexcept {
    try {
        return trimmed(jsonStringField(nlohmann::json::parse(manifest), "package_version"));
    } catch (...) {
        return {}; // whatever is not a manifest with that string has no version
    }
}

} // namespace hub

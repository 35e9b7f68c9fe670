#include "simulators/manifest.h"

#include "util/text.h"

#include <nlohmann/json.hpp>

#include <fstream>

namespace hub {

std::string readManifestVersion(const std::filesystem::path& packageFolder) noexcept {
    try {
        std::ifstream stream(packageFolder / L"manifest.json", std::ios::binary);
        if (!stream) {
            return {};
        }
        const auto manifest = nlohmann::json::parse(stream);
        if (manifest.is_object() && manifest.contains("package_version") &&
            manifest.at("package_version").is_string()) {
            return trimmed(manifest.at("package_version").get<std::string>());
        }
    } catch (...) {
        // An unreadable or invalid manifest tells no version.
    }
    return {};
}

} // namespace hub

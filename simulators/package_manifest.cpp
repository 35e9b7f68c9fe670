#include "simulators/package_manifest.h"

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
        if (!manifest.is_object()) {
            return {};
        }
        const auto version = manifest.find("package_version");
        if (version == manifest.end() || !version->is_string()) {
            return {};
        }
        return trimmed(version->get<std::string>());
    } catch (...) {
        return {};
    }
}

} // namespace hub

#include "settings/settings.h"

#include "util/paths.h"
#include "util/text.h"

#include <nlohmann/json.hpp>
#include <windows.h>

#include <fstream>
#include <stdexcept>

namespace hub {

namespace {

std::string stringMember(const nlohmann::json& object, const char* key) {
    const auto member = object.find(key);
    if (member == object.end() || !member->is_string()) {
        return {};
    }
    return member->get<std::string>();
}

Settings parseSettings(std::istream& stream) {
    const auto document = nlohmann::json::parse(stream);
    if (!document.is_object()) {
        return {};
    }
    return Settings{stringMember(document, "simulator"),
                    toWide(stringMember(document, "customCommunityFolder"))};
}

} // namespace

Settings loadSettings(const std::filesystem::path& file) noexcept {
    try {
        std::ifstream stream(file, std::ios::binary);
        if (!stream) {
            return {};
        }
        return parseSettings(stream);
    } catch (...) {
        return {};
    }
}

void saveSettings(const std::filesystem::path& file, const Settings& settings) {
    const nlohmann::json document{
        {"customCommunityFolder", pathToUtf8(settings.customCommunityFolder)},
        {"simulator", settings.simulator},
    };
    std::filesystem::path temporary = file;
    temporary += L".tmp";
    {
        std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
        stream << document.dump(2, ' ', false) << '\n';
        stream.flush();
        if (!stream) {
            throw std::runtime_error("unable to write the settings file");
        }
    }
    if (!MoveFileExW(temporary.c_str(), file.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        throw std::runtime_error("unable to replace the settings file");
    }
}

} // namespace hub

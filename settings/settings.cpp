#include "settings/settings.h"

#include "util/json_field.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/unique_handle.h"

#include <nlohmann/json.hpp>
#include <windows.h>

#include <fstream>
#include <stdexcept>

namespace hub {

namespace {

Settings parseSettings(std::istream& stream) {
    const auto document = nlohmann::json::parse(stream);
    std::filesystem::path folder = toWide(jsonStringField(document, "customCommunityFolder"));
    return Settings{jsonStringField(document, "simulator"),
                    isAbsolutePath(folder) ? std::move(folder) : std::filesystem::path{}};
}

// The file's whole content, on the disk before the call returns.
void writeFlushed(const std::filesystem::path& file, const std::string& text) {
    const UniqueHandle handle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!handle ||
        !WriteFile(handle.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size() || !FlushFileBuffers(handle.get())) {
        throw std::runtime_error("unable to write the settings file");
    }
}

} // namespace

Settings loadSettings(const std::filesystem::path& file) noexcept {
    try {
        std::ifstream stream(file, std::ios::binary);
        return stream ? loadSettings(stream) : Settings{};
    } catch (...) {
        return {}; // a path that cannot be opened reads as no file
    }
}

Settings loadSettings(std::istream& content) noexcept {
    try {
        return parseSettings(content);
    } catch (...) {
        return {}; // malformed content gives the defaults
    }
}

void saveSettings(const std::filesystem::path& file, const Settings& settings) {
    const nlohmann::json document{
        {"customCommunityFolder", pathToUtf8(settings.customCommunityFolder)},
        {"simulator", settings.simulator},
    };
    std::filesystem::path temporary = file;
    temporary += L".tmp";
    writeFlushed(temporary, document.dump(2, ' ', false) + '\n');
    if (!MoveFileExW(temporary.c_str(), file.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        throw std::runtime_error("unable to replace the settings file");
    }
}

} // namespace hub

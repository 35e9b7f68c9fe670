#pragma once

#include <filesystem>
#include <string>

namespace hub {

// The user's choices that survive a restart.
struct Settings {
    std::string simulator; // installation id, "custom" or empty
    std::filesystem::path customCommunityFolder;

    bool operator==(const Settings&) const = default;
};

// Never fails: a missing, unreadable or malformed file gives the defaults.
Settings loadSettings(const std::filesystem::path& file) noexcept;

// Writes "<file>.tmp" and moves it over the file, so readers never see half a file.
void saveSettings(const std::filesystem::path& file, const Settings& settings);

} // namespace hub

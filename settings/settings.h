#pragma once

#include <filesystem>
#include <istream>
#include <string>

namespace hub {

// The user's choices that survive a restart.
struct Settings {
    std::string simulator; // installation id, "custom" or empty
    std::filesystem::path customCommunityFolder;

    bool operator==(const Settings&) const = default;
};

// Never fails: a missing, unreadable or malformed file gives the defaults; a
// "customCommunityFolder" that is not an absolute path (drive or UNC) counts as empty.
Settings loadSettings(const std::filesystem::path& file) noexcept;

// The same from the file's content.
Settings loadSettings(std::istream& content) noexcept;

// Writes "<file>.tmp", flushes it to the disk and moves it over the file, so that neither a
// reader nor a power cut ever leaves half a file.
void saveSettings(const std::filesystem::path& file, const Settings& settings);

} // namespace hub

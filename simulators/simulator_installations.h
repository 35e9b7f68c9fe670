#pragma once

#include <filesystem>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace hub {

// A simulator installation found through its "UserCfg.opt".
struct SimulatorInstallation {
    std::string id;      // "msfs2024-steam", "msfs2024-store", "msfs2020-steam", "msfs2020-store"
    std::string family;  // "msfs2024" or "msfs2020"
    std::string label;   // "MSFS 2024" or "MSFS 2020"
    std::string edition; // "Steam" or "Microsoft Store"
    std::filesystem::path communityFolder;
    bool available = false; // the Community folder existed as a folder when it was found
};

// The installations of MSFS 2024 and 2020 (Steam, then Microsoft Store) whose "UserCfg.opt"
// names a packages folder, in that order; of two naming the same Community folder only the
// first. Stops at the first error and returns what it found until then; never throws.
std::vector<SimulatorInstallation> discoverInstallations() noexcept;

// The same below the given Roaming and Local AppData folders.
std::vector<SimulatorInstallation>
discoverInstallations(const std::filesystem::path& roamingAppData,
                      const std::filesystem::path& localAppData) noexcept;

// The packages folder of a "UserCfg.opt": the text between the first and the last double quote
// of the first line holding the key "InstalledPackagesPath" as a word of its own. The simulator
// also writes "InstalledPackagesPathNextBoot" for a folder that only becomes active after a
// restart; that line is not the key (nor is any other where a letter, digit or underscore follows
// it). Empty when the file cannot be read or has no such value, and when the value is not an
// absolute path (drive or UNC): a relative one would point wherever the current folder is.
std::filesystem::path readInstalledPackagesPath(const std::filesystem::path& userCfg);

// The same from the file's content.
std::filesystem::path readInstalledPackagesPath(std::istream& userCfg);

// The executable of a simulator family: "FlightSimulator.exe" for "msfs2020",
// "FlightSimulator2024.exe" for any other.
std::wstring simulatorExecutable(std::string_view family);

} // namespace hub

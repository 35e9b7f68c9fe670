#include "simulators/simulator_installations.h"

#include "util/known_folder.h"
#include "util/paths.h"
#include "util/text.h"

#include <shlobj.h>

#include <algorithm>
#include <fstream>

namespace hub {

namespace {

struct KnownInstallation {
    const char* id;
    const char* family;
    const char* label;
    const char* edition;
    bool roaming; // below Roaming AppData, else below Local AppData
    const wchar_t* configuration;
};

constexpr KnownInstallation knownInstallations[] = {
    {"msfs2024-steam", "msfs2024", "MSFS 2024", "Steam", true,
     L"Microsoft Flight Simulator 2024\\UserCfg.opt"},
    {"msfs2024-store", "msfs2024", "MSFS 2024", "Microsoft Store", false,
     L"Packages\\Microsoft.Limitless_8wekyb3d8bbwe\\LocalCache\\UserCfg.opt"},
    {"msfs2020-steam", "msfs2020", "MSFS 2020", "Steam", true,
     L"Microsoft Flight Simulator\\UserCfg.opt"},
    {"msfs2020-store", "msfs2020", "MSFS 2020", "Microsoft Store", false,
     L"Packages\\Microsoft.FlightSimulator_8wekyb3d8bbwe\\LocalCache\\UserCfg.opt"},
};

bool isWordCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The key counts only as a word of its own: not followed by a letter, digit or underscore
// (which skips "InstalledPackagesPathNextBoot").
bool holdsPackagesKey(std::string_view line) {
    constexpr std::string_view key = "InstalledPackagesPath";
    for (auto at = line.find(key); at != std::string_view::npos; at = line.find(key, at + 1)) {
        const auto next = at + key.size();
        if (next == line.size() || !isWordCharacter(line[next])) {
            return true;
        }
    }
    return false;
}

} // namespace

std::vector<SimulatorInstallation> discoverInstallations() noexcept {
    try {
        return discoverInstallations(knownFolderPath(FOLDERID_RoamingAppData),
                                     knownFolderPath(FOLDERID_LocalAppData));
    } catch (...) {
        return {};
    }
}

std::vector<SimulatorInstallation>
discoverInstallations(const std::filesystem::path& roamingAppData,
                      const std::filesystem::path& localAppData) noexcept {
    std::vector<SimulatorInstallation> found;
    try {
        for (const auto& known : knownInstallations) {
            const auto configuration =
                (known.roaming ? roamingAppData : localAppData) / known.configuration;
            if (!isRegularFile(configuration)) {
                continue;
            }
            const auto packages = readInstalledPackagesPath(configuration);
            if (packages.empty()) {
                continue;
            }
            auto community = packages / L"Community";
            if (std::any_of(found.begin(), found.end(), [&](const SimulatorInstallation& earlier) {
                    return samePath(earlier.communityFolder, community);
                })) {
                continue;
            }
            const bool available = isDirectory(community);
            found.push_back({known.id, known.family, known.label, known.edition,
                             std::move(community), available});
        }
    } catch (...) {
        // What was found before the failure stays listed.
    }
    return found;
}

std::filesystem::path readInstalledPackagesPath(const std::filesystem::path& userCfg) {
    std::ifstream stream(userCfg, std::ios::binary);
    return readInstalledPackagesPath(stream);
}

std::filesystem::path readInstalledPackagesPath(std::istream& stream) {
    constexpr std::size_t keyLength = 21;
    for (std::string line; stream && std::getline(stream, line);) {
        if (line.size() < keyLength || !holdsPackagesKey(line)) {
            continue;
        }
        const auto first = line.find('"');
        const auto last = line.rfind('"');
        if (first == std::string::npos || last <= first) {
            return {};
        }
        std::filesystem::path packages =
            toWide(std::string_view(line).substr(first + 1, last - first - 1));
        return isAbsolutePath(packages) ? packages : std::filesystem::path{};
    }
    return {};
}

std::wstring simulatorExecutable(std::string_view family) {
    return family == "msfs2020" ? L"FlightSimulator.exe" : L"FlightSimulator2024.exe";
}

} // namespace hub

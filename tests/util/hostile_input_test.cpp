// A seeded campaign of damaged and random inputs against every reader of a file this program
// does not write: each fails only as its contract allows and keeps only what its rules accept.
#include "catalog/remote_catalog.h"
#include "catalog/versions.h"
#include "install/receipt.h"
#include "settings/settings.h"
#include "simulators/package_manifest.h"
#include "simulators/simulator_installations.h"
#include "util/paths.h"
#include "util/text.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <functional>
#include <random>
#include <sstream>

namespace hub {
namespace {

namespace fs = std::filesystem;

// A valid document with one to four edits (random bytes inserted, bytes dropped or repeated,
// hostile fragments spliced in) or, one time in eight, random bytes.
std::string hostileInput(std::mt19937& random, const std::vector<std::string>& seeds) {
    const auto bytes = [&](std::size_t count) {
        std::string text(count, '\0');
        std::ranges::generate(text, [&] { return static_cast<char>(random()); });
        return text;
    };
    if (random() % 8 == 0) {
        return bytes(random() % 64);
    }
    const char* const fragments[]{"\"",           "\\",   "{",  "[[[[[[[[", "\\u0000", "\xC3\x28",
                                  "\xEF\xBB\xBF", "..\\", "C:", "1e9999",   "\r\n"};
    std::string text = seeds[random() % seeds.size()];
    for (auto edits = 1 + random() % 4; edits > 0; --edits) {
        const std::size_t at = random() % (text.size() + 1);
        const auto edit = random() % 4;
        if (edit == 0) {
            text.erase(at, random() % 8);
        } else {
            text.insert(at, edit == 1   ? bytes(1 + random() % 4)
                            : edit == 2 ? text.substr(at, random() % 16)
                                        : fragments[random() % std::size(fragments)]);
        }
    }
    return text;
}

bool absoluteOrEmpty(const fs::path& path) {
    return path.empty() || isAbsolutePath(path);
}

// Kept: names of lower-case letters, digits and "-" with valid versions; failures: the parser's
// own texts or the JSON library's.
bool remoteVersionsFollowTheRules(std::istream& body) {
    try {
        for (const auto& [id, version] :
             parseRemoteVersions(std::string(std::istreambuf_iterator<char>(body), {}))) {
            if (id.empty() || id.size() > 64 || !isValidVersion(version) ||
                id.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-") !=
                    std::string::npos) {
                return false;
            }
        }
    } catch (const nlohmann::json::exception&) {
    } catch (const std::runtime_error& failure) {
        const std::string_view text = failure.what();
        return text == "The package catalog response is not a JSON object." ||
               text == "The package catalog does not contain any valid version.";
    }
    return true;
}

// 10,000 inputs per reader, from memory: each reader's file overload only opens the file and
// reads it as this text (the settings tests check that loading never rewrites the file).
TEST(HostileInput, ReadersFailOnlyAsAllowedAndKeepOnlyValidResults) {
    const std::pair<std::vector<std::string>, std::function<bool(std::istream&)>> readers[]{
        {{R"({"velmora-weapons-patch": "1.2.3", "orv-camera": "v2.0.0-beta.1"})"},
         remoteVersionsFollowTheRules},
        {{R"({"package_version": " 1.0.0 "})", R"({"package_version": 1})"},
         [](std::istream& text) {
             const auto version = readManifestVersion(text);
             return version == trimmed(version);
         }},
        {{R"({"customCommunityFolder": "D:\\Community", "simulator": "custom"})"},
         [](std::istream& text) {
             return absoluteOrEmpty(loadSettings(text).customCommunityFolder);
         }},
        // A receipt's version is any text to show: the rule is only that the reader never fails.
        {{R"({"component": "orv-camera", "version": "1.0.0"})"},
         [](std::istream& text) { return (void)readReceiptVersion(text), true; }},
        {{"Version 1\r\nInstalledPackagesPath \"D:\\Sim\"\r\n",
          "InstalledPackagesPathNextBoot \"E:\\x\"\nInstalledPackagesPath \"\\\\nas\\sim\"\n"},
         [](std::istream& text) { return absoluteOrEmpty(readInstalledPackagesPath(text)); }},
    };
    std::mt19937 random(20261206);
    for (const auto& [seeds, read] : readers) {
        for (int index = 0; index < 10'000; ++index) {
            std::istringstream text(hostileInput(random, seeds));
            ASSERT_TRUE(read(text))
                << "input " << index << " of " << seeds[0] << ": " << text.str();
        }
    }
}

} // namespace
} // namespace hub

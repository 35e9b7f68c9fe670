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
#include <regex>
#include <sstream>

namespace hub {
namespace {

// A valid document, or one time in eight random bytes, with one to four edits: bytes dropped,
// random bytes inserted, bytes repeated or hostile fragments spliced in.
std::string hostileInput(std::mt19937& random, const std::vector<std::string>& seeds) {
    const auto bytes = [&](std::size_t count) {
        std::string text(count, '\0');
        std::ranges::generate(text, [&] { return static_cast<char>(random()); });
        return text;
    };
    const char* const fragments[]{"\"",           "\\",   "{",  "[[[[[[[[", "\\u0000", "\xC3\x28",
                                  "\xEF\xBB\xBF", "..\\", "C:", "1e9999",   "\r\n"};
    std::string text = random() % 8 == 0 ? bytes(random() % 64) : seeds[random() % seeds.size()];
    for (auto edits = 1 + random() % 4; edits > 0; --edits) {
        const std::size_t at = random() % (text.size() + 1);
        const auto edit = random() % 4;
        text.replace(at, edit == 0 ? random() % 8 : 0,
                     edit == 0   ? ""
                     : edit == 1 ? bytes(1 + random() % 4)
                     : edit == 2 ? text.substr(at, random() % 16)
                                 : fragments[random() % std::size(fragments)]);
    }
    return text;
}

bool absoluteOrEmpty(const std::filesystem::path& path) {
    return path.empty() || isAbsolutePath(path);
}

// Kept: names of 1 to 64 lower-case letters, digits and "-" with valid versions; failures: the
// parser's own texts or the JSON library's.
bool remoteVersionsFollowTheRules(std::istream& in) {
    try {
        const auto kept = parseRemoteVersions(std::string(std::istreambuf_iterator<char>(in), {}));
        return std::ranges::all_of(kept, [](const auto& entry) {
            return std::regex_match(entry.first, std::regex("[a-z0-9-]{1,64}")) &&
                   isValidVersion(entry.second);
        });
    } catch (const nlohmann::json::exception&) {
        return true;
    } catch (const std::runtime_error& failure) {
        const std::string_view text = failure.what();
        return text == "The package catalog response is not a JSON object." ||
               text == "The package catalog does not contain any valid version.";
    }
}

// 10,000 inputs per reader, from memory: each reader's file overload only opens the file and
// reads it as this text (the settings tests check that loading never rewrites the file).
TEST(HostileInput, ReadersFailOnlyAsAllowedAndKeepOnlyValidResults) {
    const std::pair<std::vector<std::string>, std::function<bool(std::istream&)>> readers[]{
        {{R"({"velmora-weapons-patch": "1.2.3", "orv-camera": "v2.0.0-beta.1"})"},
         remoteVersionsFollowTheRules},
        {{R"({"package_version": " 1.0.0 "})", R"({"package_version": 1})"},
         [](std::istream& in) {
             const auto version = readManifestVersion(in);
             return version == trimmed(version);
         }},
        {{R"({"customCommunityFolder": "D:\\Community", "simulator": "custom"})"},
         [](std::istream& in) { return absoluteOrEmpty(loadSettings(in).customCommunityFolder); }},
        // A receipt's version is any text to show: the rule is only that the reader never fails.
        {{R"({"component": "orv-camera", "version": "1.0.0"})"},
         [](std::istream& in) { return (void)readReceiptVersion(in), true; }},
        {{"Version 1\r\nInstalledPackagesPath \"D:\\Sim\"\r\n",
          "InstalledPackagesPathNextBoot \"E:\\x\"\nInstalledPackagesPath \"\\\\nas\\sim\"\n"},
         [](std::istream& in) { return absoluteOrEmpty(readInstalledPackagesPath(in)); }},
    };
    std::mt19937 random(20261206);
    for (const auto& [seeds, read] : readers) {
        for (int count = 0; count < 10'000; ++count) {
            std::istringstream text(hostileInput(random, seeds));
            ASSERT_TRUE(read(text)) << seeds[0] << ": " << text.str();
        }
    }
}

} // namespace
} // namespace hub

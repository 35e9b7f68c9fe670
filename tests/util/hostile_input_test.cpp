// A seeded campaign of damaged and random inputs against every reader of a file this program
// does not write: each fails only as its contract allows, writes nothing and keeps only what
// its rules accept.
#include "catalog/remote_catalog.h"
#include "catalog/versions.h"
#include "install/receipt.h"
#include "settings/settings.h"
#include "simulators/package_manifest.h"
#include "simulators/simulator_installations.h"
#include "support/test_files.h"
#include "util/paths.h"
#include "util/text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

namespace hub {
namespace {

namespace fs = std::filesystem;

// Mutations of a valid document (bytes changed, inserted, dropped or repeated, hostile
// fragments spliced in) and, one time in eight, random bytes.
class HostileInputs {
public:
    std::string next(const std::vector<std::string>& seeds) {
        if (below(8) == 0) {
            return bytes(below(64));
        }
        static const char* const fragments[] = {
            "\"",           "\\",   "{",  "[[[[[[[[", "\\u0000", "\xC3\x28",
            "\xEF\xBB\xBF", "..\\", "C:", "1e9999",   "\r\n"};
        std::string text = seeds[below(seeds.size())];
        for (auto edits = 1 + below(4); edits > 0; --edits) {
            const std::size_t at = below(text.size() + 1);
            switch (below(4)) {
            case 0:
                text.insert(at, bytes(1 + below(4)));
                break;
            case 1:
                text.erase(at, below(8));
                break;
            case 2:
                text.insert(at, text.substr(at, below(16)));
                break;
            default:
                text.insert(at, fragments[below(std::size(fragments))]);
                break;
            }
        }
        return text;
    }

private:
    std::size_t below(std::size_t bound) {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<std::size_t>(state_ % bound);
    }
    std::string bytes(std::size_t count) {
        std::string text(count, '\0');
        for (auto& byte : text) {
            byte = static_cast<char>(below(256));
        }
        return text;
    }
    std::uint64_t state_ = 0x2545F4914F6CDD1Dull;
};

bool absoluteOrEmpty(const fs::path& path) {
    return path.empty() || isAbsolutePath(path);
}

bool keptVersionsAreValid(std::istream& body) {
    try {
        for (const auto& [id, version] :
             parseRemoteVersions(std::string(std::istreambuf_iterator<char>(body), {}))) {
            if (id.empty() || id.size() > 64 || !isValidVersion(version)) {
                return false;
            }
        }
    } catch (const std::exception&) {
        // A failure with its message is the contract for unusable input.
    }
    return true;
}

// 10,000 inputs per reader from memory; every hundredth also through the reader's file, in a
// folder that must hold nothing else afterwards.
TEST(HostileInput, ReadersFailOnlyAsAllowedWriteNothingAndKeepOnlyValidResults) {
    const test::TempFolder folder;
    const struct {
        std::vector<std::string> seeds;
        const wchar_t* file; // nullptr: text only
        std::function<bool(std::istream&)> read;
        std::function<bool()> readFile;
    } readers[] = {
        {{R"({"velmora-weapons-patch": "1.2.3", "orv-camera": "v2.0.0-beta.1"})"},
         nullptr,
         keptVersionsAreValid,
         {}},
        {{R"({"package_version": " 1.0.0 "})", R"({"package_version": 1})"},
         L"manifest.json",
         [](std::istream& text) {
             const auto version = readManifestVersion(text);
             return version == trimmed(version);
         },
         [&] {
             return readManifestVersion(folder.path()) ==
                    trimmed(readManifestVersion(folder.path()));
         }},
        {{R"({"customCommunityFolder": "D:\\Community", "simulator": "custom"})"},
         L"settings.json",
         [](std::istream& text) {
             return absoluteOrEmpty(loadSettings(text).customCommunityFolder);
         },
         [&] {
             return absoluteOrEmpty(loadSettings(folder / L"settings.json").customCommunityFolder);
         }},
        // A receipt's version is any text to show: the rule is only that the reader never fails.
        {{R"({"component": "orv-camera", "version": "1.0.0"})"},
         receiptFileName,
         [](std::istream& text) { return (void)readReceiptVersion(text), true; },
         [&] { return (void)readReceiptVersion(folder.path()), true; }},
        {{"Version 1\r\nInstalledPackagesPath \"D:\\Sim\"\r\n",
          "InstalledPackagesPathNextBoot \"E:\\x\"\nInstalledPackagesPath \"\\\\nas\\sim\"\n"},
         L"UserCfg.opt",
         [](std::istream& text) { return absoluteOrEmpty(readInstalledPackagesPath(text)); },
         [&] { return absoluteOrEmpty(readInstalledPackagesPath(folder / L"UserCfg.opt")); }},
    };
    HostileInputs inputs;
    for (const auto& reader : readers) {
        for (int index = 0; index < 10'000; ++index) {
            const std::string text = inputs.next(reader.seeds);
            std::istringstream content(text);
            bool kept = reader.read(content);
            if (reader.file != nullptr && index % 100 == 0) {
                std::ofstream(folder / reader.file, std::ios::binary) << text;
                kept = reader.readFile() && kept;
                fs::remove(folder / reader.file);
            }
            ASSERT_TRUE(kept) << "input " << index << " of " << reader.seeds[0];
        }
        EXPECT_TRUE(fs::is_empty(folder.path()));
    }
}

} // namespace
} // namespace hub

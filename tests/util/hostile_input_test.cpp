// A seeded campaign of damaged and random inputs against every reader of a file this program
// does not control: each one fails only the way its contract allows, writes nothing, and keeps
// only what its rules accept.
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

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace hub {
namespace {

namespace fs = std::filesystem;

constexpr int inputsPerReader = 10'000;

// Deterministic inputs: mutations of valid documents (bytes flipped, inserted, dropped or
// repeated, hostile fragments spliced in) and, one time in eight, plain random bytes.
class HostileInputs {
public:
    explicit HostileInputs(std::vector<std::string> seeds) : seeds_(std::move(seeds)) {}

    std::string next() {
        if (below(8) == 0) {
            return randomBytes(below(64));
        }
        std::string text = seeds_[below(seeds_.size())];
        for (auto edits = 1 + below(4); edits > 0; --edits) {
            mutate(text);
        }
        return text;
    }

private:
    std::uint64_t random() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    std::size_t below(std::size_t bound) { return bound == 0 ? 0 : random() % bound; }
    std::string randomBytes(std::size_t count) {
        std::string bytes(count, '\0');
        for (auto& byte : bytes) {
            byte = static_cast<char>(random());
        }
        return bytes;
    }

    void mutate(std::string& text) {
        static const char* const fragments[] = {
            "\"",           "\\",       "{",  "}",       "[[[[[[[[[[[[[[[[", "\\u0000", "\xC3\x28",
            "\xEF\xBB\xBF", "..\\..\\", "C:", "\\\\?\\", "1e99999",          "\r\n",    ":",
            "null"};
        const std::size_t at = below(text.size() + 1);
        switch (below(5)) {
        case 0:
            if (!text.empty()) {
                text[at % text.size()] = static_cast<char>(random());
            }
            break;
        case 1:
            text.insert(at, randomBytes(1 + below(4)));
            break;
        case 2:
            text.erase(at, below(8));
            break;
        case 3:
            text.insert(at, text.substr(at, below(16)));
            break;
        default:
            text.insert(at, fragments[below(std::size(fragments))]);
            break;
        }
    }

    std::vector<std::string> seeds_;
    std::uint64_t state_ = 0x2545F4914F6CDD1Dull;
};

// Checks what a reader made of one input: false when a rule was broken.
template <typename Result> using Rule = std::function<bool(const Result&)>;

bool versionsAreValid(const std::string& body) {
    try {
        for (const auto& [id, version] : parseRemoteVersions(body)) {
            if (id.empty() || id.size() > 64 || !isValidVersion(version)) {
                return false;
            }
        }
    } catch (const std::exception&) {
        // A failure with a message is the reader's contract for unusable input.
    }
    return true;
}

bool isAbsoluteOrEmpty(const fs::path& path) {
    return path.empty() || isAbsolutePath(path);
}

bool packagesPathIsValid(std::istream& content) {
    try {
        return isAbsoluteOrEmpty(readInstalledPackagesPath(content));
    } catch (const std::exception&) {
        return true; // text that cannot be converted fails with a message
    }
}

// Every reader gets inputsPerReader inputs from memory; every hundredth also goes through its
// file, in a folder that must hold nothing else afterwards.
TEST(HostileInput, ReadersFailOnlyAsAllowedWriteNothingAndKeepOnlyValidResults) {
    const test::TempFolder folder;
    const auto input = folder / L"input";
    fs::create_directories(input);
    const auto trimmedVersion = [](const std::string& version) {
        return version == trimmed(version);
    };
    const struct {
        const char* name;
        std::vector<std::string> seeds;
        fs::path file; // empty: the reader takes text only
        std::function<bool(std::istream&)> fromContent;
        std::function<bool()> fromFile;
    } readers[] = {
        {"packages.json",
         {R"({"velmora-weapons-patch": "1.2.3", "orv-camera": "v2.0.0-beta.1"})"},
         {},
         [](std::istream& content) {
             return versionsAreValid(std::string(std::istreambuf_iterator<char>(content), {}));
         },
         {}},
        {"manifest.json",
         {R"({"package_version": " 1.0.0 ", "title": "x"})", R"({"package_version": 1})"},
         input / L"manifest.json",
         [&](std::istream& content) { return trimmedVersion(readManifestVersion(content)); },
         [&] { return trimmedVersion(readManifestVersion(input)); }},
        {"settings.json",
         {R"({"customCommunityFolder": "D:\\Community", "simulator": "custom"})"},
         input / L"settings.json",
         [](std::istream& content) {
             return isAbsoluteOrEmpty(loadSettings(content).customCommunityFolder);
         },
         [&] {
             return isAbsoluteOrEmpty(loadSettings(input / L"settings.json").customCommunityFolder);
         }},
        {"receipt",
         {R"({"component": "orv-camera", "version": "1.0.0"})"},
         input / receiptFileName,
         // Any text is a version to show: the rule is only that the reader never fails.
         [](std::istream& content) { return (void)readReceiptVersion(content), true; },
         [&] { return (void)readReceiptVersion(input), true; }},
        {"UserCfg.opt",
         {"Version 1\r\nInstalledPackagesPath \"D:\\Sim\\Packages\"\r\n",
          "InstalledPackagesPathNextBoot \"E:\\x\"\nInstalledPackagesPath \"\\\\nas\\sim\"\n"},
         input / L"UserCfg.opt",
         [](std::istream& content) { return packagesPathIsValid(content); },
         [&] {
             std::ifstream content(input / L"UserCfg.opt", std::ios::binary);
             return packagesPathIsValid(content);
         }},
    };
    for (const auto& reader : readers) {
        SCOPED_TRACE(reader.name);
        HostileInputs inputs(reader.seeds);
        for (int index = 0; index < inputsPerReader; ++index) {
            const std::string text = inputs.next();
            std::istringstream content(text);
            bool kept = reader.fromContent(content);
            if (reader.fromFile && index % 100 == 0) {
                std::ofstream(reader.file, std::ios::binary | std::ios::trunc) << text;
                kept = kept && reader.fromFile();
                fs::remove(reader.file);
            }
            if (!kept) {
                FAIL() << "input " << index << " broke a rule";
            }
        }
        EXPECT_TRUE(fs::is_empty(input)) << "a reader wrote a file";
    }
}

} // namespace
} // namespace hub

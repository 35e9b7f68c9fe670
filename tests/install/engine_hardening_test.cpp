// Faults an install must survive: a full disk, a refused move back, leftovers of an earlier
// attempt and paths from outside.
#include "catalog/catalog.h"
#include "install/component_operation.h"
#include "install/package_preparation.h"
#include "install/staged_activation.h"
#include "settings/settings.h"
#include "simulators/simulator_installations.h"
#include "support/test_support.h"
#include "zip_writer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace hub {
namespace {

namespace fs = std::filesystem;

class Hardening : public testing::Test {
protected:
    test::TempFolder root;
    std::atomic<bool> cancel{false};
    ProgressCallback progress = [](double, const std::string&) {};
};

fs::path staging(const fs::path& target) {
    return target.native() + L".orv-hub-staging";
}

// T: is a 4 MiB RAM disk that the harness maps into the prefix where it may mount one.
TEST_F(Hardening, AFullDiskFailsBeforeActivationAndFreesItsSpace) {
    if (!fs::exists(L"T:\\")) {
        GTEST_SKIP() << "no RAM disk mapped as T: (mounting needs root)";
    }
    const fs::path target = L"T:\\Community\\pkg";
    const test::FileTree old{{"big.bin", std::string(2u << 20, 'o')}, {"user.cfg", "mine"}};
    for (const auto& [newBytes, failure] :
         {std::pair<std::size_t, std::string>{1u << 20, "Unable to keep big.bin: "},
          {3u << 20, "Unable to copy new.bin: "}}) {
        SCOPED_TRACE(failure);
        test::makeTree(target, old);
        test::makeTree(root / L"new", {{"new.bin", std::string(newBytes, 'n')}});
        const auto free = fs::space(L"T:\\").available;
        const auto message = test::failureOf([&] {
            stageAndActivate(root / L"new", target, {L"user.cfg", L"big.bin"}, {}, progress,
                             cancel);
        });
        EXPECT_EQ(message.substr(0, failure.size()), failure) << message;
        EXPECT_EQ(test::readTree(target), old);
        EXPECT_FALSE(fs::exists(staging(target)));
        EXPECT_EQ(fs::space(L"T:\\").available, free);
        fs::remove_all(target);
    }
}

// A previous version that recovery cannot move back is the only copy of the old version.
TEST_F(Hardening, AFailedRestoreIsReportedAndBlocksEveryChange) {
    const auto target = root / L"pkg";
    test::makeTree(target.native() + L".orv-hub-previous", {{"user.cfg", "mine"}});
    const test::MoveRecorder refuseAll([](const fs::path&, const fs::path&) { return 5U; });
    EXPECT_EQ(recoverInterruptedWork(target),
              "pkg: previous version not restored, the next start will try again");
    const std::string refused = "The previous version of pkg could not be restored yet. Restart "
                                "Orvantis Hub and try again.";
    EXPECT_EQ(
        test::failureOf([&] { stageAndActivate(root.path(), target, {}, {}, progress, cancel); }),
        refused);
    EXPECT_EQ(test::failureOf([&] { removeInstalledFolder(target, progress); }), refused);
    EXPECT_EQ(test::readFile(target.native() + L".orv-hub-previous\\user.cfg"), "mine");
}

TEST_F(Hardening, ActivationMovesOnOneVolumeAndCopiesWhenForced) {
    const test::FileTree tree{{"a.txt", "a"}, {"sub/", ""}, {"sub/b.txt", "b"}};
    for (const bool forced : {false, true}) {
        test::makeTree(root / L"source", tree);
        setCopyActivationForTesting(forced);
        stageAndActivate(root / L"source", root / L"pkg", {}, {}, progress, cancel,
                         SourceUse::MayMove);
        setCopyActivationForTesting(false);
        EXPECT_EQ(test::readTree(root / L"pkg"), tree);
        EXPECT_EQ(fs::exists(root / L"source"), forced);
        fs::remove_all(root / L"source");
    }
}

TEST_F(Hardening, AFolderWithATrailingBackslashReachesTarAsOneArgument) {
    test::writeZip(root / L"p.zip", {{"a.txt", "a"}});
    fs::create_directories(root / L"out");
    extractArchive(root / L"p.zip", (root / L"out").native() + L"\\");
    EXPECT_EQ(test::readFile(root / L"out" / L"a.txt"), "a");
}

// No path from a file this program does not write, and no folder name, leads outside an
// absolute folder.
TEST_F(Hardening, OnlyAbsolutePathsFromOutsideAreUsed) {
    for (const auto& [value, absolute] : {std::pair<std::string, bool>{R"(D:\Sim)", true},
                                          {R"(\\nas\sim)", true},
                                          {R"(Sim\x)", false},
                                          {"D:Sim", false},
                                          {R"(\Sim)", false}}) {
        SCOPED_TRACE(value);
        const fs::path expected = absolute ? fs::path(value) : fs::path();
        std::istringstream userCfg("InstalledPackagesPath \"" + value + "\"");
        EXPECT_EQ(readInstalledPackagesPath(userCfg), expected);
        std::istringstream settings(nlohmann::json{{"customCommunityFolder", value}}.dump());
        EXPECT_EQ(loadSettings(settings).customCommunityFolder, expected);
    }
    for (const auto& [line, accepted] : {std::pair<std::string, bool>{"= \"D:\\S\"", true},
                                         {":\"D:\\S\"", true},
                                         {"NextBoot \"D:\\S\"", false},
                                         {"_2 \"D:\\S\"", false}}) {
        std::istringstream userCfg("InstalledPackagesPath" + line);
        EXPECT_EQ(readInstalledPackagesPath(userCfg), accepted ? L"D:\\S" : fs::path()) << line;
    }
    auto component = componentById(buildCatalog(), "velmora-weapons-patch");
    for (const char* name : {"..", ".", "a\\b", "a/b", "C:x", ""}) {
        component.folderName = name;
        EXPECT_EQ(installedLocation(component, L"D:\\C", {}), fs::path()) << name;
    }
    component.folderName = "pkg";
    EXPECT_EQ(installedLocation(component, L"C", {}), fs::path());
    EXPECT_EQ(installedLocation(component, L"D:\\C", {}), L"D:\\C\\pkg");
}

} // namespace
} // namespace hub

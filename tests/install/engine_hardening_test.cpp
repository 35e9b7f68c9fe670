// Faults an install must survive: a full disk, a refused move back, leftovers of an earlier
// attempt, paths from outside, and a cancel while the server stalls or tar does not progress.
#include "install/component_operation.h"
#include "install/install_test_support.h"
#include "install/package_preparation.h"
#include "install/staged_activation.h"
#include "settings/settings.h"
#include "simulators/simulator_installations.h"
#include "support/test_prefix.h"
#include "util/unique_handle.h"

#include <nlohmann/json.hpp>

#include <sstream>

namespace hub {
namespace {

namespace fs = std::filesystem;
using Hardening = test::OperationTest;

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

TEST_F(Hardening, AWorkFolderThatCannotBeClearedIsNeverExtractedInto) {
    const auto component = test::builtInComponent(test::communityPackageId);
    const auto held = root / L"Downloads" / L"velmora-weapons-patch" / L"held.bin";
    test::makeTree(held.parent_path(), {{"held.bin", "old"}});
    const UniqueHandle open(CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_EQ(test::failureOf([&] {
                  (void)preparePackage(component, root / L"Downloads", {}, cancel);
              }).rfind("Unable to clear the work folder of " + component.name + ": ", 0),
              0U);
}

TEST_F(Hardening, CancelEndsAStalledDownloadAndATarThatDoesNotProgress) {
    test::HttpsTestServer server;
    test::serveArchive(server, "/package.zip", test::communityPackageArchive("1.0.0"));
    server.answer("/stalled.zip", {.body = "late", .delayMs = 60'000});
    // Wine's WinHTTP ends a pending call on a closed request only at its time-out.
    for (const bool stalled : {!test::runningUnderWine(), false}) {
        SetEnvironmentVariableW(L"HUB_TAR_STANDIN_PAUSE", stalled ? nullptr : L"1");
        cancel = stalled;
        progress = [this](double, const std::string& text) {
            cancel = cancel || text == "Extracting package";
        };
        auto component = test::builtInComponent(
            test::communityPackageId, server.url(stalled ? "/stalled.zip" : "/package.zip"));
        EXPECT_EQ(test::failureOf([&] {
                      runOperation({OperationKind::Install, component, root / L"C" / L"pkg",
                                    root / L"Downloads"},
                                   progress, cancel, log);
                  }),
                  "cancelled");
        EXPECT_FALSE(fs::exists(root / L"C"));
    }
    SetEnvironmentVariableW(L"HUB_TAR_STANDIN_PAUSE", nullptr);
    EXPECT_FALSE(fs::exists(root / L"Downloads" / L"velmora-weapons-patch")) << "tar's work left";
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
    auto component = test::builtInComponent(test::communityPackageId);
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

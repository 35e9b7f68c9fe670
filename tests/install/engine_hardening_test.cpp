// Faults an installation must survive: a full disk, a refused move back, leftovers of an
// earlier attempt, a stalled server or a slow extraction while the user cancels.
#include "install/component_operation.h"
#include "install/install_test_support.h"
#include "install/package_preparation.h"
#include "install/staged_activation.h"
#include "settings/settings.h"
#include "simulators/simulator_installations.h"
#include "support/test_prefix.h"
#include "util/text.h"
#include "util/unique_handle.h"

#include <nlohmann/json.hpp>

#include <windows.h>

namespace hub {
namespace {

namespace fs = std::filesystem;

class EngineHardening : public test::OperationTest {
protected:
    void stage(const fs::path& source, const fs::path& target,
               const std::vector<std::wstring>& preserved = {}) {
        stageAndActivate(source, target, preserved, {}, progress, cancel);
    }
    static fs::path sibling(const fs::path& target, const wchar_t* suffix) {
        return target.native() + suffix;
    }
};

// Drive T: is a 4 MiB RAM disk that the harness maps into the prefix where it can mount one.
TEST_F(EngineHardening, AFullDiskFailsBeforeActivationAndLeavesNothingBehind) {
    const fs::path disk = L"T:\\";
    if (!fs::exists(disk)) {
        GTEST_SKIP() << "no RAM disk mapped as T: (mounting needs root)";
    }
    const struct {
        const char* name;
        std::size_t newBytes;
        std::string failure; // start of the message
    } rows[] = {
        {"preserved items do not fit", 1u << 20, "Unable to keep big.bin: "},
        {"the new version does not fit", 3u << 20, "Unable to copy "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path target = disk / L"Community" / L"pkg";
        fs::remove_all(target);
        const test::FileTree old{{"big.bin", std::string(2u << 20, 'o')}, {"user.cfg", "mine"}};
        test::makeTree(target, old);
        test::makeTree(root / L"new", {{"new.bin", std::string(row.newBytes, 'n')}});
        const auto free = fs::space(disk).available;
        const auto message = test::failureOf([&] {
            stage(root / L"new", target, {L"user.cfg", L"big.bin"});
        });
        EXPECT_EQ(message.substr(0, row.failure.size()), row.failure) << message;
        EXPECT_EQ(test::readTree(target), old);
        EXPECT_FALSE(fs::exists(sibling(target, L".orv-hub-staging")));
        EXPECT_EQ(fs::space(disk).available, free);
        fs::remove_all(target);
        fs::remove_all(root / L"new");
    }
}

// The move back of a rollback or of recovery can be refused: nothing may then replace or remove
// the target, or the only copy of the old version would be lost.
TEST_F(EngineHardening, AFailedRestoreIsReportedAndBlocksFurtherChanges) {
    const auto target = root / L"pkg";
    test::makeTree(sibling(target, L".orv-hub-previous"), {{"user.cfg", "mine"}});
    test::makeTree(root / L"new", {{"a.txt", "new"}});
    const test::MoveRecorder refuseAll(
        [](const fs::path&, const fs::path&) { return ERROR_ACCESS_DENIED; });
    EXPECT_EQ(recoverInterruptedWork(target),
              "pkg: previous version not restored, the next start will try again");
    const std::string refused = "The previous version of pkg could not be restored yet. Restart "
                                "Orvantis Hub and try again.";
    EXPECT_EQ(test::failureOf([&] { stage(root / L"new", target); }), refused);
    EXPECT_EQ(test::failureOf([&] { removeInstalledFolder(target, progress); }), refused);
    EXPECT_EQ(test::readFile(sibling(target, L".orv-hub-previous") / L"user.cfg"), "mine");
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(EngineHardening, ActivationMovesTheSourceOnOneVolumeAndCopiesWhenForced) {
    const test::FileTree tree{{"a.txt", "a"}, {"sub/", ""}, {"sub/b.txt", "b"}, {"empty/", ""}};
    for (const bool forced : {false, true}) {
        SCOPED_TRACE(forced ? "copy forced" : "same volume");
        const auto source = root / L"source";
        const auto target = root / L"pkg";
        test::makeTree(source, tree);
        setCopyActivationForTesting(forced);
        stageAndActivate(source, target, {}, {}, progress, cancel, SourceUse::MayMove);
        setCopyActivationForTesting(false);
        EXPECT_EQ(test::readTree(target), tree);
        EXPECT_EQ(fs::exists(source), forced);
        EXPECT_EQ(reports.back(), (test::ProgressReport{1.0, "Activating the new version"}));
        fs::remove_all(source);
        fs::remove_all(target);
    }
}

TEST_F(EngineHardening, AnOldWorkFolderThatCannotBeClearedIsNeverExtractedInto) {
    const auto component = test::builtInComponent(test::communityPackageId);
    const auto workFolder = root / L"Downloads" / L"velmora-weapons-patch";
    test::makeTree(workFolder, {{"extracted/orvantis-aircraft-velmora-weapons/stale.dds", "old"}});
    const UniqueHandle held(CreateFileW((workFolder / L"held.bin").c_str(), GENERIC_WRITE, 0,
                                        nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    const auto message = test::failureOf(
        [&] { (void)preparePackage(component, root / L"Downloads", progress, cancel); });
    EXPECT_EQ(message.rfind("Unable to clear the work folder of " + component.name + ": ", 0), 0U)
        << message;
}

// Cancelling ends a download that waits for a stalled server and an extraction that does not
// progress, without waiting for their time-outs; nothing of the new version is left.
TEST_F(EngineHardening, CancelEndsAStalledDownloadAndASlowExtraction) {
    test::HttpsTestServer server;
    test::serveArchive(server, "/package.zip", test::communityPackageArchive("1.0.0"));
    server.answer("/stalled.zip", {.body = "late", .delayMs = 60'000});
    const struct {
        const char* name;
        const char* path;
        bool slowTar;
    } rows[] = {{"stalled download", "/stalled.zip", false},
                {"slow extraction", "/package.zip", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (!row.slowTar && test::runningUnderWine()) {
            continue; // Wine's WinHTTP finishes a pending call on a closed request at its time-out
        }
        SetEnvironmentVariableW(L"HUB_TAR_STANDIN_PAUSE", row.slowTar ? L"1" : nullptr);
        cancel = !row.slowTar;
        progress = [this](double, const std::string& text) {
            cancel = cancel || text == "Extracting package";
        };
        const auto component =
            test::builtInComponent(test::communityPackageId, server.url(row.path));
        EXPECT_EQ(test::failureOf([&] {
                      runOperation({OperationKind::Install, component, root / L"Community" / L"pkg",
                                    root / L"Downloads"},
                                   progress, cancel, log);
                  }),
                  "cancelled");
        EXPECT_FALSE(fs::exists(root / L"Community"));
        EXPECT_EQ(logged().back(), "cancelled velmora-weapons-patch");
    }
    SetEnvironmentVariableW(L"HUB_TAR_STANDIN_PAUSE", nullptr);
}

// A folder path that ends in a backslash still reaches tar as one argument.
TEST_F(EngineHardening, AFolderWithATrailingBackslashReachesTarAsOneArgument) {
    const auto archive = root / L"p.zip";
    test::writeZip(archive, {{"a.txt", "a"}});
    fs::create_directories(root / L"out");
    extractArchive(archive, (root / L"out").native() + L"\\");
    EXPECT_EQ(test::readFile(root / L"out" / L"a.txt"), "a");
}

// Paths from files this program does not write are used only when absolute; a component
// folder name is one plain name, so no operation reaches outside an absolute parent.
TEST_F(EngineHardening, OnlyAbsolutePathsFromOutsideAreUsed) {
    const struct {
        const char* name;
        std::string value; // of the packages path and of "customCommunityFolder"
        bool absolute;
    } pathRows[] = {
        {"drive path", R"(D:\Sim)", true},          {"UNC path", R"(\\nas\sim)", true},
        {"relative", R"(Sim\Packages)", false},     {"drive-relative", "D:Sim", false},
        {"rooted without drive", R"(\Sim)", false},
    };
    for (const auto& row : pathRows) {
        SCOPED_TRACE(row.name);
        const fs::path expected = row.absolute ? fs::path(toWide(row.value)) : fs::path{};
        test::writeFile(root / L"UserCfg.opt", "InstalledPackagesPath \"" + row.value + "\"\r\n");
        EXPECT_EQ(readInstalledPackagesPath(root / L"UserCfg.opt"), expected);
        test::writeFile(root / L"settings.json",
                        nlohmann::json{{"customCommunityFolder", row.value}}.dump());
        EXPECT_EQ(loadSettings(root / L"settings.json").customCommunityFolder, expected);
    }
    const struct {
        const char* line;
        bool accepted;
    } keyRows[] = {{R"(InstalledPackagesPath = "D:\Sim")", true},
                   {R"(InstalledPackagesPath:"D:\Sim")", true},
                   {R"(InstalledPackagesPathNextBoot "D:\Sim")", false},
                   {R"(InstalledPackagesPath_2 "D:\Sim")", false}};
    for (const auto& row : keyRows) {
        SCOPED_TRACE(row.line);
        test::writeFile(root / L"UserCfg.opt", std::string(row.line) + "\n");
        EXPECT_EQ(readInstalledPackagesPath(root / L"UserCfg.opt"),
                  row.accepted ? fs::path(L"D:\\Sim") : fs::path{});
    }
    auto component = test::builtInComponent(test::communityPackageId);
    for (const char* name : {"..", ".", "a\\b", "a/b", "C:x", "", "x:stream"}) {
        SCOPED_TRACE(name);
        component.folderName = name;
        EXPECT_EQ(installedLocation(component, L"D:\\Community", L"D:\\Apps"), fs::path{});
    }
    component.folderName = "pkg";
    EXPECT_EQ(installedLocation(component, L"Community", L"D:\\Apps"), fs::path{});
    EXPECT_EQ(installedLocation(component, L"D:\\Community", L""), L"D:\\Community\\pkg");
}

} // namespace
} // namespace hub

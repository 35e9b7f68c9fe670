// The updater against the update framework's test double, the start-up hook and the uninstaller.
#include "update/update_tool.h"
#include "update/updater.h"
#include "update/velopack_library.h"

#include "fake_velopack_script.h"
#include "hook_probe_runner.h"
#include "simulators/process_list.h"
#include "support/test_support.h"
#include "util/text.h"
#include "util/unique_handle.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

namespace hub {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Journal = std::vector<std::string>;
using test::FakeVelopack;

const std::string feed = "https://localhost/downloads/orv-hub/";
const std::string manager = "new_update_manager url=" + feed + " options=null locator=null";
const std::string download =
    "download version=1.2.0 file=OrvantisHub-1.2.0-full.nupkg base=none deltas=0";
const std::string apply =
    "apply version=1.2.0 file=OrvantisHub-1.2.0-full.nupkg silent=true restart=false args=null 0";
const UpdateStatus ready{"ready", "1.2.0", 100,
                         "Update 1.2.0 is ready and will be installed after exit."};

const VelopackLibrary& library() {
    const VelopackLibrary* found = VelopackLibrary::besideExecutable();
    return found != nullptr ? *found : throw std::runtime_error("no test double beside the tests");
}

// The first status that passes the check, polled as the interface does; the last after ten seconds.
UpdateStatus reached(const Updater& updater,
                     const std::function<bool(const UpdateStatus&)>& check) {
    UpdateStatus status = updater.getUpdateStatus();
    for (int tries = 0; tries < 10'000 && !check(status); ++tries) {
        Sleep(1);
        status = updater.getUpdateStatus();
    }
    return status;
}

TEST(Updater, EndsEachCheckInItsStateAndReleasesTheRecordsOnce) {
    const auto lastError = [](const std::string& text) {
        return "get_last_error length=" + std::to_string(text.size());
    };
    // The journal of a check that returned result, with the calls in between.
    const auto checked = [&](int result, std::vector<std::string> between) {
        Journal journal{manager, "is_portable", "check_for_updates -> " + std::to_string(result)};
        journal.insert(journal.end(), between.begin(), between.end());
        journal.push_back("free_update_manager");
        return journal;
    };
    const auto error = [](const std::string& text) { return UpdateStatus{"error", "", 0, text}; };
    const std::string unreachable = "Network error\nCaused by: connection refused";
    const std::string downloaded = "download ended";
    const struct {
        json script;
        UpdateStatus status;
        Journal journal;
    } rows[] = {
        {{{"portable", true}},
         {"disabled", "", 0, "Updates are disabled in portable mode."},
         {manager, "is_portable", "free_update_manager"}},
        {{{"check", 1}}, {"upToDate", "", 0, "The application is up to date."}, checked(1, {})},
        {{{"managerError", "not installed"}},
         error("not installed"),
         {manager, lastError("not installed")}},
        {{{"check", -1}, {"checkError", unreachable}},
         error(unreachable),
         checked(-1, {lastError(unreachable)})},
        {{{"check", -1}},
         error("the update framework failed without giving a reason"),
         checked(-1, {})},
        {{{"check", 0}, {"target", {{"SHA256", nullptr}}}},
         error("Required property SHA256 was null"),
         checked(0, {"free_update_info"})},
        {{{"check", 0}, {"progress", {10}}, {"downloadError", "Checksum mismatch"}},
         error("Checksum mismatch"),
         checked(0, {"free_update_info", download, downloaded, lastError("Checksum mismatch")})},
        {{{"check", 0}, {"progress", {0, 35, 100}}},
         ready,
         checked(0, {"free_update_info", download, downloaded, apply})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.script.dump());
        FakeVelopack fake(row.script);
        {
            Updater updater(feed, &library());
            EXPECT_EQ(reached(updater,
                              [](const auto& now) {
                                  return now.state != "checking" && now.state != "downloading";
                              }),
                      row.status);
            EXPECT_EQ(updater.applyUpdateOnExit(), row.status == ready);
            if (row.status == ready) {
                EXPECT_EQ(updater.getUpdateStatus(),
                          (UpdateStatus{"applying", "1.2.0", 100,
                                        "Installing the update after exit..."}));
                EXPECT_FALSE(updater.applyUpdateOnExit()) << "only once";
            }
        }
        EXPECT_EQ(fake.journal(), row.journal);
    }
    for (const auto& [location, found] : {std::pair{std::string(), &library()}, {feed, nullptr}}) {
        Updater updater(location, found);
        EXPECT_EQ(updater.getUpdateStatus(), (UpdateStatus{"disabled", "", 0, ""}));
    }
}

TEST(Updater, ShowsTheDownloadsProgressCappedAt100AndWaitsForItOnClosing) {
    for (const auto& [reported, shown] :
         {std::pair<std::uint64_t, std::uint32_t>{37, 37}, {(1ULL << 32) + 50, 100}}) {
        const test::DownloadGate gate;
        FakeVelopack fake({{"check", 0}, {"progress", {reported}}, {"holdDownload", gate.name()}});
        {
            Updater updater(feed, &library());
            EXPECT_EQ(reached(updater, [&](const auto& now) { return now.progress == shown; }),
                      (UpdateStatus{"downloading", "1.2.0", shown, "Downloading update 1.2.0..."}));
            EXPECT_FALSE(updater.applyUpdateOnExit()) << "not while downloading";
            gate.release();
        }
        const auto journal = fake.journal();
        EXPECT_EQ(Journal(journal.end() - 2, journal.end()),
                  (Journal{"download ended", "free_update_manager"}));
    }
}

// The current interface generation only; its last error read with exactly the room it reports.
TEST(VelopackLibrary, LoadsOnlyTheCurrentLibraryAndReadsItsLastError) {
    const test::TempFolder folder;
    EXPECT_EQ(VelopackLibrary::load(folder.path()), nullptr);
    test::writeFile(folder / L"velopack_libc.dll", "MZ but nothing else");
    EXPECT_EQ(VelopackLibrary::load(folder.path()), nullptr);
    EXPECT_EQ(VelopackLibrary::load(test::testProgram(L"velopack-old")), nullptr);
    for (const std::string& message : {std::string("e"), std::string(5000, 'x') + "\n\xC3\xA9"}) {
        FakeVelopack fake({{"managerError", message}});
        void* created = nullptr;
        ASSERT_FALSE(library().newUpdateManager("feed", nullptr, nullptr, &created));
        EXPECT_EQ(library().lastError(), message);
        EXPECT_EQ(fake.journal().back(), "get_last_error length=" + std::to_string(message.size()));
    }
}

TEST(StartupHook, EndsAHookRunAndLetsAnOrdinaryStartGoOn) {
    const fs::path withLibrary = test::testProgram(L"");
    const std::uint32_t wentOn = test::HookProbe::wentOnExitCode;
    const std::string hook = "--veloapp-install 1.2.3";
    const std::tuple<fs::path, std::string, std::uint32_t, std::string, Journal> rows[] = {
        {withLibrary, hook, 0, "", {"app_run user=null", "hook " + hook}},
        {withLibrary, "", wentOn, "went on\n", {"app_run user=null"}},
        {{}, hook, wentOn, "went on " + hook + "\n", {}},
    };
    for (const auto& [libraryFolder, arguments, exitCode, record, journal] : rows) {
        SCOPED_TRACE(arguments);
        FakeVelopack fake({{"check", 1}});
        const test::TempFolder folder;
        const test::HookProbe probe(folder / "hub.exe", libraryFolder);
        EXPECT_EQ(probe.run(toWide(arguments)), exitCode);
        EXPECT_EQ(probe.record(), record);
        EXPECT_EQ(fake.journal(), journal);
    }
}

// An installed hub: the tool in the root, the program and its manifest in "current".
TEST(UpdateTool, IsFoundOnlyInAnInstallationAndStartsTheUninstaller) {
    const test::FileTree installed{{"Update.exe", "tool"}, {"current/sq.version", "<package/>"}};
    const test::TempFolder root;
    test::makeTree(root.path(), installed);
    for (const auto& [removed, added] : {std::pair{"", ".portable"},
                                         {"current/sq.version", "current/sq.version/"},
                                         {"Update.exe", "Update.exe/"}}) {
        const test::TempFolder other;
        test::makeTree(other.path(), installed);
        if (*removed != 0) {
            fs::remove(other / removed);
        }
        test::makeTree(other.path(), {{added, ""}});
        EXPECT_EQ(locateUpdateTool(other / "current"), fs::path()) << added;
    }
    EXPECT_EQ(Updater::locateUpdateTool(), fs::path()) << "the tests are no installation";
    const test::HookProbe tool(root / "Update.exe");
    startUninstaller(locateUpdateTool(root / "current"));
    EXPECT_TRUE(test::waitForProcessesNamed(L"Update.exe"));
    EXPECT_EQ(tool.record(), "went on uninstall\n");
    const std::string failure = test::failureOf([&] { startUninstaller(root / "missing.exe"); });
    EXPECT_TRUE(failure.starts_with("Unable to start missing.exe: "));
}

} // namespace
} // namespace hub

#include "update/updater.h"

#include "fake_velopack.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace hub {
namespace {

using nlohmann::json;
using test::FakeVelopack;
using Journal = std::vector<std::string>;

const std::string feed = "https://localhost/downloads/orv-hub/";
const std::string createManager = "new_update_manager url=" + feed + " options=null locator=null";
const std::string downloadTarget =
    "download version=1.2.0 file=OrvantisHub-1.2.0-full.nupkg base=none deltas=0";
const std::string applyTarget =
    "apply version=1.2.0 file=OrvantisHub-1.2.0-full.nupkg silent=true restart=false args=null 0";

const UpdateStatus disabled{"disabled", "", 0, ""};
const UpdateStatus checking{"checking", "", 0, "Checking for updates..."};
const UpdateStatus upToDate{"upToDate", "", 0, "The application is up to date."};
const UpdateStatus downloading{"downloading", "1.2.0", 100, "Downloading update 1.2.0..."};
const UpdateStatus ready{"ready", "1.2.0", 100,
                         "Update 1.2.0 is ready and will be installed after exit."};
const UpdateStatus applying{"applying", "1.2.0", 100, "Installing the update after exit..."};

UpdateStatus failed(const std::string& message) {
    return {"error", "", 0, message};
}

const VelopackLibrary& fakeLibrary() {
    const VelopackLibrary* library = VelopackLibrary::besideExecutable();
    if (library == nullptr) {
        throw std::runtime_error("the update framework's test double is not beside the tests");
    }
    return *library;
}

// The status once the background check has come to rest.
UpdateStatus settledStatus(const Updater& updater) {
    test::waitFor([&] {
        const std::string state = updater.getUpdateStatus().state;
        return state != "checking" && state != "downloading";
    });
    return updater.getUpdateStatus();
}

bool reaches(const Updater& updater, const UpdateStatus& expected) {
    return test::waitFor([&] { return updater.getUpdateStatus() == expected; });
}

TEST(UpdaterTest, StaysDisabledWithoutFeedOrLibrary) {
    FakeVelopack fake;
    using Setting = std::pair<std::string, const VelopackLibrary*>;
    for (const auto& [location, library] : {Setting{"", &fakeLibrary()}, Setting{feed, nullptr}}) {
        Updater updater(location, library);
        EXPECT_EQ(updater.getUpdateStatus(), disabled);
        EXPECT_FALSE(updater.applyUpdateOnExit());
        EXPECT_EQ(updater.getUpdateStatus(), disabled);
    }
    EXPECT_EQ(fake.journal(), Journal{});
}

TEST(UpdaterTest, ChecksOnItsOwnThreadFromConstruction) {
    test::DownloadGate gate;
    FakeVelopack fake({{"check", 1}, {"holdCheck", gate.name()}});
    Updater updater(feed, &fakeLibrary());
    EXPECT_EQ(updater.getUpdateStatus(), checking);
    gate.release();
    EXPECT_EQ(settledStatus(updater), upToDate);
}

TEST(UpdaterTest, PortableInstallationNeverChecks) {
    FakeVelopack fake({{"portable", true}, {"check", 0}});
    {
        Updater updater(feed, &fakeLibrary());
        EXPECT_EQ(settledStatus(updater),
                  (UpdateStatus{"disabled", "", 0, "Updates are disabled in portable mode."}));
        EXPECT_FALSE(updater.applyUpdateOnExit());
    }
    EXPECT_EQ(fake.journal(), (Journal{createManager, "is_portable", "free_update_manager"}));
}

TEST(UpdaterTest, NoNewerReleaseIsUpToDate) {
    for (const int result : {1, 2}) {
        FakeVelopack fake({{"check", result}});
        {
            Updater updater(feed, &fakeLibrary());
            EXPECT_EQ(settledStatus(updater), upToDate);
            EXPECT_FALSE(updater.applyUpdateOnExit());
        }
        EXPECT_EQ(fake.journal(), (Journal{createManager, "is_portable",
                                           "check_for_updates -> " + std::to_string(result),
                                           "free_update_manager"}))
            << result;
    }
}

// Each failure becomes the "error" state with the library's text; the library's records are
// released exactly once, and nothing is downloaded.
TEST(UpdaterTest, CheckFailuresBecomeErrors) {
    const std::string notInstalled =
        "This application is not properly installed: Could not auto-locate app manifest";
    const std::string unreachable = "Network error\nCaused by: connection refused (os error 10061)";
    const std::string checkFailed = "check_for_updates -> -1";
    const std::string foundUpdate = "check_for_updates -> 0";
    const struct {
        json script;
        std::string message;
        Journal journal;
    } cases[] = {
        {{{"managerError", notInstalled}}, notInstalled, {createManager}},
        {{{"check", -1}, {"checkError", unreachable}},
         unreachable,
         {createManager, "is_portable", checkFailed, "free_update_manager"}},
        {{{"check", -1}},
         "the update framework failed without giving a reason",
         {createManager, "is_portable", checkFailed, "free_update_manager"}},
        {{{"check", 0}, {"noInfo", true}},
         "the update check found an update but returned no details",
         {createManager, "is_portable", foundUpdate, "free_update_manager"}},
        {{{"check", 0}, {"target", nullptr}},
         "Required property TargetFullRelease was null",
         {createManager, "is_portable", foundUpdate, "free_update_info", "free_update_manager"}},
        {{{"check", 0}, {"target", {{"SHA256", nullptr}}}},
         "Required property SHA256 was null",
         {createManager, "is_portable", foundUpdate, "free_update_info", "free_update_manager"}},
        {{{"check", 0}, {"base", {{"NotesHtml", nullptr}}}},
         "Required property NotesHtml was null",
         {createManager, "is_portable", foundUpdate, "free_update_info", "free_update_manager"}},
    };
    for (const auto& [script, message, journal] : cases) {
        FakeVelopack fake(script);
        {
            Updater updater(feed, &fakeLibrary());
            EXPECT_EQ(settledStatus(updater), failed(message)) << script.dump();
            EXPECT_FALSE(updater.applyUpdateOnExit());
        }
        EXPECT_EQ(fake.journal(), journal) << script.dump();
    }
}

TEST(UpdaterTest, DownloadsAndHandsTheReleaseOverAtExit) {
    FakeVelopack fake({{"check", 0}, {"progress", {0, 35, 100}}});
    {
        Updater updater(feed, &fakeLibrary());
        EXPECT_EQ(settledStatus(updater), ready);
        EXPECT_TRUE(updater.applyUpdateOnExit());
        EXPECT_EQ(updater.getUpdateStatus(), applying);
        EXPECT_FALSE(updater.applyUpdateOnExit()) << "only once, from state ready";
        EXPECT_EQ(fake.journal().back(), applyTarget);
    }
    EXPECT_EQ(fake.journal(),
              (Journal{createManager, "is_portable", "check_for_updates -> 0", "free_update_info",
                       downloadTarget, "download ended", applyTarget, "free_update_manager"}));
}

TEST(UpdaterTest, DownloadGetsBackTheWholeRecord) {
    FakeVelopack fake({{"check", 0}, {"base", {{"Version", "1.1.0"}}}, {"deltas", 2}});
    Updater updater(feed, &fakeLibrary());
    EXPECT_EQ(settledStatus(updater), ready);
    EXPECT_EQ(fake.journal().at(4),
              "download version=1.2.0 file=OrvantisHub-1.2.0-full.nupkg base=set deltas=2");
}

TEST(UpdaterTest, FailedDownloadIsAnErrorAndAppliesNothing) {
    FakeVelopack fake({{"check", 0}, {"progress", {10}}, {"downloadError", "Checksum mismatch"}});
    {
        Updater updater(feed, &fakeLibrary());
        EXPECT_EQ(settledStatus(updater), failed("Checksum mismatch"));
        EXPECT_FALSE(updater.applyUpdateOnExit());
    }
    EXPECT_EQ(fake.journal(),
              (Journal{createManager, "is_portable", "check_for_updates -> 0", "free_update_info",
                       downloadTarget, "download ended", "free_update_manager"}));
}

TEST(UpdaterTest, FailedHandOverIsAnError) {
    FakeVelopack fake({{"check", 0}, {"applyError", "Update.exe could not be started"}});
    Updater updater(feed, &fakeLibrary());
    ASSERT_EQ(settledStatus(updater), ready);
    EXPECT_FALSE(updater.applyUpdateOnExit());
    EXPECT_EQ(updater.getUpdateStatus(), failed("Update.exe could not be started"));
    EXPECT_EQ(fake.journal().back(), applyTarget);
}

TEST(UpdaterTest, ProgressIsShownAndCappedAt100) {
    using Report = std::pair<std::uint64_t, std::uint32_t>; // reported, shown
    // The last one would read as 50 if it were narrowed before the cap.
    for (const auto& [reported, shown] : {Report{0, 0}, Report{37, 37}, Report{100, 100},
                                          Report{101, 100}, Report{(1ull << 32) + 50, 100}}) {
        test::DownloadGate gate;
        FakeVelopack fake({{"check", 0}, {"progress", {reported}}, {"holdDownload", gate.name()}});
        Updater updater(feed, &fakeLibrary());
        UpdateStatus expected = downloading;
        expected.progress = shown;
        EXPECT_TRUE(reaches(updater, expected)) << reported;
        gate.release();
        EXPECT_EQ(settledStatus(updater), ready);
    }
}

TEST(UpdaterTest, ClosingWhileDownloadingWaitsAndAppliesNothing) {
    test::DownloadGate gate;
    FakeVelopack fake({{"check", 0}, {"progress", {50}}, {"holdDownload", gate.name()}});
    std::thread opener;
    {
        Updater updater(feed, &fakeLibrary());
        UpdateStatus halfway = downloading;
        halfway.progress = 50;
        ASSERT_TRUE(reaches(updater, halfway));
        EXPECT_FALSE(updater.applyUpdateOnExit());
        opener = std::thread([&gate] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            gate.release();
        });
    }
    if (opener.joinable()) {
        opener.join();
    }
    EXPECT_EQ(fake.journal(),
              (Journal{createManager, "is_portable", "check_for_updates -> 0", "free_update_info",
                       downloadTarget, "download ended", "free_update_manager"}));
}

// The interface thread reads the status while the download reports progress: every copy is
// one whole status, never a mixture of two.
TEST(UpdaterTest, StatusReadsDuringProgressAreConsistent) {
    json progress = json::array();
    for (unsigned step = 0; step < 300; ++step) {
        progress.push_back((step * 7) % 150);
    }
    FakeVelopack fake({{"check", 0}, {"progress", progress}, {"progressPauseMs", 1}});
    Updater updater(feed, &fakeLibrary());
    std::set<std::uint32_t> seenProgress;
    for (UpdateStatus status = updater.getUpdateStatus(); status != ready;
         status = updater.getUpdateStatus()) {
        if (status == checking) {
            continue;
        }
        ASSERT_EQ(status.state, "downloading");
        ASSERT_EQ(status.version, "1.2.0");
        ASSERT_EQ(status.message, "Downloading update 1.2.0...");
        ASSERT_LE(status.progress, 100u);
        seenProgress.insert(status.progress);
    }
    EXPECT_GT(seenProgress.size(), 10u) << "the reads overlapped the download";
}

TEST(UpdaterTest, LibraryIsTheOneBesideTheExecutable) {
    FakeVelopack fake({{"check", 1}});
    Updater updater(feed);
    EXPECT_EQ(settledStatus(updater), upToDate);
    EXPECT_EQ(fake.journal().front(), createManager);
}

} // namespace
} // namespace hub

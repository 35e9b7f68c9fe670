#include "update/startup_hook.h"

#include "hook_probe.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

using Journal = std::vector<std::string>;

using test::HookProbe;

TEST(StartupHookTest, HookSwitchEndsTheProcessBeforeAnythingElse) {
    test::FakeVelopack fake;
    test::TempFolder folder;
    const HookProbe probe(folder / "hub.exe", test::testFolder());
    EXPECT_EQ(probe.run(L"--veloapp-install 1.2.3"), 0u);
    EXPECT_EQ(probe.record(), "");
    EXPECT_EQ(fake.journal(), (Journal{"app_run user=null", "hook --veloapp-install 1.2.3"}));
}

TEST(StartupHookTest, OrdinaryStartGoesOnAfterTheHook) {
    test::FakeVelopack fake;
    test::TempFolder folder;
    const HookProbe probe(folder / "hub.exe", test::testFolder());
    EXPECT_EQ(probe.run(L""), HookProbe::wentOnExitCode);
    EXPECT_EQ(probe.record(), "went on\n");
    EXPECT_EQ(fake.journal(), Journal{"app_run user=null"});
}

TEST(StartupHookTest, SkippedWithoutAUsableLibrary) {
    for (const std::filesystem::path& libraryFolder :
         {std::filesystem::path{}, test::testFolder() / "velopack-old"}) {
        test::FakeVelopack fake;
        test::TempFolder folder;
        const HookProbe probe(folder / "hub.exe", libraryFolder);
        EXPECT_EQ(probe.run(L"--veloapp-install 1.2.3"), HookProbe::wentOnExitCode);
        EXPECT_EQ(probe.record(), "went on --veloapp-install 1.2.3\n");
        EXPECT_EQ(fake.journal(), Journal{}) << libraryFolder;
    }
}

// The whole program start, hook and updater, with and without the library beside it.
TEST(StartupHookTest, UpdaterUsesTheLibraryBesideTheProgram) {
    const std::pair<std::filesystem::path, std::string> cases[] = {
        {{}, "update status: disabled \"\"\n"},
        {test::testFolder() / "velopack-old", "update status: disabled \"\"\n"},
        {test::testFolder(), "update status: upToDate \"The application is up to date.\"\n"},
    };
    for (const auto& [libraryFolder, record] : cases) {
        test::FakeVelopack fake({{"check", 1}});
        test::TempFolder folder;
        const HookProbe probe(folder / "hub.exe", libraryFolder);
        EXPECT_EQ(probe.run(L"update-status"), HookProbe::wentOnExitCode);
        EXPECT_EQ(probe.record(), record) << libraryFolder;
    }
}

} // namespace
} // namespace hub

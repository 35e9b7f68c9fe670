// The hub's own folders.
#include "app/app_folders.h"
#include "util/executable_folder.h"
#include "util/known_folder.h"

#include "support/test_files.h"
#include "support/test_support.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <vector>

namespace hub {
namespace {

namespace fs = std::filesystem;

TEST(AppFolders, AreLaidOutUnderLocalAppDataWithTheOlderSettingsCopiedOnce) {
    const test::TempFolder local;
    const auto hub = local / L"Orvantis" / L"Hub";
    test::makeTree(local.path(), {{"Orvantis_Hub/settings.json", "old"}});
    const AppFolders folders = createAppFoldersUnder(local.path());
    EXPECT_EQ((std::vector{folders.dataFolder, folders.localAppDataFolder, folders.settingsFile,
                           folders.webViewDataFolder, folders.logFile}),
              (std::vector{hub, local.path(), hub / L"settings.json", hub / L"WebView2",
                           hub / L"hub.log"}));
    EXPECT_EQ(test::readTree(hub), (test::FileTree{{"settings.json", "old"}}));
    test::writeFile(folders.settingsFile, "mine");
    createAppFoldersUnder(local.path());
    EXPECT_EQ(test::readFile(folders.settingsFile), "mine");
    test::writeFile(local / L"file", "a file where a folder belongs");
    EXPECT_THROW(createAppFoldersUnder(local / L"file"), fs::filesystem_error);
}

TEST(AppFoldersInProfile, UseTheUsersLocalAppData) {
    HUB_REQUIRE_TEST_PREFIX();
    const auto local = knownFolderPath(FOLDERID_LocalAppData);
    EXPECT_TRUE(fs::is_directory(knownFolderPath(FOLDERID_RoamingAppData)));
    EXPECT_EQ(createAppFolders().dataFolder, local / L"Orvantis" / L"Hub");
    EXPECT_EQ(test::failureOf([] {
                  knownFolderPath({0x12345678, 0, 0, {1}});
              }),
              "unable to locate a Windows user folder");
}

TEST(ExecutableFolder, ResourcesAreFoundBesideTheExecutableFirst) {
    const test::TempFolder executable;
    const test::TempFolder current;
    const struct Restore {
        fs::path saved = fs::current_path();
        ~Restore() { fs::current_path(saved); }
    } restore;
    fs::current_path(current.path());
    EXPECT_EQ(findResourceFolder(executable.path(), L"ui"), executable / L"ui") << "neither";
    fs::create_directory(current / L"ui");
    EXPECT_TRUE(fs::equivalent(findResourceFolder(executable.path(), L"ui"), current / L"ui"));
    test::writeFile(executable / L"ui", "");
    EXPECT_EQ(findResourceFolder(executable.path(), L"ui"), executable / L"ui");
}

} // namespace
} // namespace hub

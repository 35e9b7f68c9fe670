#include "app/app_folders.h"
#include "util/known_folder.h"

#include "support/test_files.h"
#include "support/test_prefix.h"

#include <gtest/gtest.h>
#include <shlobj.h>

namespace hub {
namespace {

using test::readFile;
using test::TempFolder;
using test::writeFile;

TEST(AppFolders, AreLaidOutUnderLocalAppData) {
    const TempFolder local;
    const AppFolders folders = createAppFoldersUnder(local.path());
    EXPECT_EQ(folders.dataFolder, local / L"Orvantis" / L"Hub");
    EXPECT_EQ(folders.localAppDataFolder, local.path());
    EXPECT_EQ(folders.settingsFile, local / L"Orvantis" / L"Hub" / L"settings.json");
    EXPECT_EQ(folders.webViewDataFolder, local / L"Orvantis" / L"Hub" / L"WebView2");
    EXPECT_EQ(folders.logFile, local / L"Orvantis" / L"Hub" / L"hub.log");
    EXPECT_TRUE(std::filesystem::is_directory(folders.dataFolder));
    EXPECT_FALSE(std::filesystem::exists(folders.webViewDataFolder));
    EXPECT_FALSE(std::filesystem::exists(folders.settingsFile));
    EXPECT_FALSE(std::filesystem::exists(folders.logFile));
}

TEST(AppFolders, MissingLocalAppDataIsCreated) {
    const TempFolder root;
    const auto local = root / L"Local";
    createAppFoldersUnder(local);
    EXPECT_TRUE(std::filesystem::is_directory(local / L"Orvantis" / L"Hub"));
}

TEST(AppFolders, UncreatableDataFolderFailsNamingIt) {
    const TempFolder root;
    writeFile(root / L"Local", "a file where a folder should be");
    try {
        createAppFoldersUnder(root / L"Local");
        FAIL() << "no failure";
    } catch (const std::filesystem::filesystem_error& error) {
        EXPECT_EQ(error.path1(), root / L"Local" / L"Orvantis" / L"Hub");
        EXPECT_NE(std::string(error.what()).find("create_directories"), std::string::npos)
            << error.what();
    }
}

TEST(AppFolders, LegacySettingsAreCopiedOnceAndLeftAlone) {
    const TempFolder local;
    const auto legacy = local / L"Orvantis_Hub" / L"settings.json";
    std::filesystem::create_directories(legacy.parent_path());
    writeFile(legacy, R"({"simulator":"msfs2020-steam"})");

    const AppFolders folders = createAppFoldersUnder(local.path());
    EXPECT_EQ(readFile(folders.settingsFile), R"({"simulator":"msfs2020-steam"})");

    writeFile(folders.settingsFile, R"({"simulator":"custom"})");
    writeFile(legacy, R"({"simulator":"msfs2024-store"})");
    createAppFoldersUnder(local.path());
    EXPECT_EQ(readFile(folders.settingsFile), R"({"simulator":"custom"})");
    EXPECT_EQ(readFile(legacy), R"({"simulator":"msfs2024-store"})");
}

TEST(AppFolders, LegacyFolderInsteadOfFileIsIgnored) {
    const TempFolder local;
    std::filesystem::create_directories(local / L"Orvantis_Hub" / L"settings.json");
    const AppFolders folders = createAppFoldersUnder(local.path());
    EXPECT_FALSE(std::filesystem::exists(folders.settingsFile));
}

TEST(AppFolders, NoLegacySettingsMeansNoSettingsFile) {
    const TempFolder local;
    const AppFolders folders = createAppFoldersUnder(local.path());
    EXPECT_FALSE(std::filesystem::exists(folders.settingsFile));
    EXPECT_FALSE(std::filesystem::exists(local / L"Orvantis_Hub"));
}

TEST(AppFolders, RealProfileUsesTheLocalAppDataKnownFolder) {
    HUB_REQUIRE_TEST_PREFIX();
    const auto local = knownFolderPath(FOLDERID_LocalAppData);
    const AppFolders folders = createAppFolders();
    EXPECT_EQ(folders.localAppDataFolder, local);
    EXPECT_EQ(folders.dataFolder, local / L"Orvantis" / L"Hub");
    EXPECT_TRUE(std::filesystem::is_directory(folders.dataFolder));
}

TEST(KnownFolder, FindsTheUsersAppDataFolders) {
    HUB_REQUIRE_TEST_PREFIX();
    const auto local = knownFolderPath(FOLDERID_LocalAppData);
    const auto roaming = knownFolderPath(FOLDERID_RoamingAppData);
    EXPECT_TRUE(local.is_absolute());
    EXPECT_TRUE(std::filesystem::is_directory(local));
    EXPECT_TRUE(std::filesystem::is_directory(roaming));
    EXPECT_NE(local, roaming);
}

TEST(KnownFolder, UnknownFolderFails) {
    constexpr GUID unknown{0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    try {
        knownFolderPath(unknown);
        FAIL() << "no failure";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "unable to locate a Windows user folder");
    }
}

} // namespace
} // namespace hub

#include "app/window_placement.h"
#include "settings/app_folders.h"
#include "util/known_folder.h"

#include "support/test_support.h"

#include <shlobj.h>

#include <array>
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
}

TEST(AppFoldersInProfile, UseTheUsersLocalAppData) {
    HUB_REQUIRE_TEST_PREFIX();
    EXPECT_EQ(createAppFolders().dataFolder,
              knownFolderPath(FOLDERID_LocalAppData) / L"Orvantis" / L"Hub");
}

TEST(ExecutableFolder, ResourcesAreFoundBesideTheExecutableFirst) {
    const test::TempFolder executable, current;
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

TEST(WindowPlacement, ScalesCentresAndStaysWithinTheWorkArea) {
    // Name, DPI, work area; placement left, top, right, bottom, then minimum width and height.
    const std::tuple<const char*, UINT, RECT, std::array<LONG, 6>> rows[] = {
        {"100 %", 96, {0, 0, 1920, 1040}, {320, 120, 1600, 920, 1080, 680}},
        {"150 %", 144, {0, 0, 2560, 1400}, {320, 100, 2240, 1300, 1620, 1020}},
        {"200 %, second monitor", 192, {-3840, 0, 0, 2100}, {-3200, 250, -640, 1850, 2160, 1360}},
        {"work area too small", 144, {0, 40, 1366, 768}, {0, 40, 1366, 768, 1366, 728}},
    };
    for (const auto& [name, dpi, workArea, expected] : rows) {
        SCOPED_TRACE(name);
        const RECT placement = initialPlacement(dpi, workArea);
        const SIZE minimum = minimumTrackSize(dpi, workArea);
        EXPECT_EQ((std::array{placement.left, placement.top, placement.right, placement.bottom,
                              minimum.cx, minimum.cy}),
                  expected);
    }
}

} // namespace
} // namespace hub

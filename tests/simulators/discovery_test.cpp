#include "simulators/simulator_installations.h"

#include "support/test_files.h"
#include "support/test_prefix.h"
#include "util/known_folder.h"
#include "util/paths.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace hub {
namespace {

namespace fs = std::filesystem;

const wchar_t* const steam2024 = L"Microsoft Flight Simulator 2024\\UserCfg.opt";
const wchar_t* const store2024 =
    L"Packages\\Microsoft.Limitless_8wekyb3d8bbwe\\LocalCache\\UserCfg.opt";
const wchar_t* const steam2020 = L"Microsoft Flight Simulator\\UserCfg.opt";
const wchar_t* const store2020 =
    L"Packages\\Microsoft.FlightSimulator_8wekyb3d8bbwe\\LocalCache\\UserCfg.opt";

// A user configuration in the simulator's own format, naming a packages folder.
void writeUserCfg(const fs::path& file, const fs::path& packages) {
    fs::create_directories(file.parent_path());
    test::writeFile(file, "{Graphics\n\tVersion 1.1.0\n}\nInstalledPackagesPath \"" +
                              pathToUtf8(packages) + "\"\n{Sound\n\tMusic 0\n}\n");
}

class DiscoveryTest : public testing::Test {
protected:
    std::vector<SimulatorInstallation> discover() const {
        return discoverInstallations(roaming, local);
    }

    fs::path packagesWithCommunity(const wchar_t* name) const {
        const auto packages = temp / L"drives" / name;
        fs::create_directories(packages / L"Community");
        return packages;
    }

    test::TempFolder temp;
    fs::path roaming = temp / L"Roaming";
    fs::path local = temp / L"Local";
};

TEST_F(DiscoveryTest, NothingInstalledGivesAnEmptyList) {
    EXPECT_TRUE(discover().empty());
}

TEST_F(DiscoveryTest, FindsAllFourInTheirOrder) {
    writeUserCfg(local / store2020, packagesWithCommunity(L"store2020"));
    writeUserCfg(roaming / steam2020, packagesWithCommunity(L"steam2020"));
    writeUserCfg(local / store2024, packagesWithCommunity(L"store2024"));
    writeUserCfg(roaming / steam2024, packagesWithCommunity(L"steam2024"));
    const auto found = discover();
    ASSERT_EQ(found.size(), 4U);
    const std::vector<std::array<std::string, 4>> expected{
        {"msfs2024-steam", "msfs2024", "MSFS 2024", "Steam"},
        {"msfs2024-store", "msfs2024", "MSFS 2024", "Microsoft Store"},
        {"msfs2020-steam", "msfs2020", "MSFS 2020", "Steam"},
        {"msfs2020-store", "msfs2020", "MSFS 2020", "Microsoft Store"}};
    const wchar_t* const folders[] = {L"steam2024", L"store2024", L"steam2020", L"store2020"};
    for (std::size_t index = 0; index < found.size(); ++index) {
        const auto& installation = found[index];
        EXPECT_EQ((std::array{installation.id, installation.family, installation.label,
                              installation.edition}),
                  expected[index]);
        EXPECT_EQ(installation.communityFolder, temp / L"drives" / folders[index] / L"Community");
        EXPECT_TRUE(installation.available);
    }
}

TEST_F(DiscoveryTest, SamePackagesFolderIsListedOnceForTheFirstRow) {
    const auto packages = packagesWithCommunity(L"Shared");
    std::wstring upper = packages.native();
    std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
    writeUserCfg(roaming / steam2024, packages);
    writeUserCfg(local / store2024, upper);
    writeUserCfg(roaming / steam2020, packages.native() + L"\\");
    const auto found = discover();
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0].id, "msfs2024-steam");
}

TEST_F(DiscoveryTest, TrailingBackslashGetsNoSecondSeparator) {
    const auto packages = packagesWithCommunity(L"Trailing");
    writeUserCfg(local / store2020, packages.native() + L"\\");
    const auto found = discover();
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0].communityFolder.native(), packages.native() + L"\\Community");
}

TEST_F(DiscoveryTest, PackagesFolderWithoutCommunityIsUnavailable) {
    const auto packages = temp / L"drives" / L"NoCommunity";
    fs::create_directories(packages);
    writeUserCfg(roaming / steam2020, packages);
    const auto found = discover();
    ASSERT_EQ(found.size(), 1U);
    EXPECT_FALSE(found[0].available);
}

TEST_F(DiscoveryTest, UnusableConfigurationsAreSkipped) {
    fs::create_directories(roaming / steam2024); // a folder where the file should be
    fs::create_directories((local / store2024).parent_path());
    test::writeFile(local / store2024, "{Video\n\tFullscreen 1\n}\n");
    writeUserCfg(roaming / steam2020, packagesWithCommunity(L"good"));
    const auto found = discover();
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0].id, "msfs2020-steam");
}

// The real lookup of the user's folders, in the test prefix only.
TEST(DiscoveryInProfileTest, ReadsTheUsersAppDataFolders) {
    HUB_REQUIRE_TEST_PREFIX();
    const auto roaming = knownFolderPath(FOLDERID_RoamingAppData);
    const auto local = knownFolderPath(FOLDERID_LocalAppData);
    const auto steamFolder = roaming / L"Microsoft Flight Simulator 2024";
    const auto storeFolder = local / L"Packages" / L"Microsoft.FlightSimulator_8wekyb3d8bbwe";
    ASSERT_FALSE(fs::exists(steamFolder));
    ASSERT_FALSE(fs::exists(storeFolder));
    test::TempFolder temp;
    fs::create_directories(temp / L"A" / L"Community");
    writeUserCfg(roaming / steam2024, temp / L"A");
    writeUserCfg(local / store2020, temp / L"B");
    const auto found = discoverInstallations();
    fs::remove_all(steamFolder);
    fs::remove_all(storeFolder);
    ASSERT_EQ(found.size(), 2U);
    EXPECT_EQ(found[0].id, "msfs2024-steam");
    EXPECT_TRUE(found[0].available);
    EXPECT_EQ(found[1].id, "msfs2020-store");
    EXPECT_EQ(found[1].communityFolder, temp / L"B" / L"Community");
    EXPECT_FALSE(found[1].available);
}

} // namespace
} // namespace hub

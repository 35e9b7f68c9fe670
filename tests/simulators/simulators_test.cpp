// Finding the simulators' Community folders through their "UserCfg.opt", and their packages.
#include "simulators/package_manifest.h"
#include "simulators/simulator_installations.h"

#include "support/test_support.h"
#include "util/known_folder.h"
#include "util/paths.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace hub {
namespace {

namespace fs = std::filesystem;

const wchar_t* const steam2024 = L"Microsoft Flight Simulator 2024\\UserCfg.opt";
const wchar_t* const store2024 =
    L"Packages\\Microsoft.Limitless_8wekyb3d8bbwe\\LocalCache\\UserCfg.opt";
const wchar_t* const store2020 =
    L"Packages\\Microsoft.FlightSimulator_8wekyb3d8bbwe\\LocalCache\\UserCfg.opt";

void writeUserCfg(const fs::path& file, const std::wstring& packages) {
    fs::create_directories(file.parent_path());
    test::writeFile(file, "{Graphics\n\tVersion 1.1.0\n}\nInstalledPackagesPath \"" +
                              pathToUtf8(packages) + "\"\n{Sound\n\tMusic 0\n}\n");
}

TEST(UserCfg, ThePackagesFolderIsTheQuotedValueOfTheKey) {
    const std::pair<const char*, const wchar_t*> rows[] = {
        {"Version 1\r\nInstalledPackagesPath \"D:\\Flight Sim\"\r\n", LR"(D:\Flight Sim)"},
        {"    InstalledPackagesPath\t\"E:\\MSFS\\\"", LR"(E:\MSFS\)"},
        {"InstalledPackagesPath\"E:\\Sim\xC3\xA9\"\n", L"E:\\Sim\u00e9"},
        {"InstalledPackagesPath \"C:\\broken\nInstalledPackagesPath \"C:\\good\"\n", L""},
        {"InstalledPackagesPath \"\"\n", L""},
        {"InstalledPackagesPath C:\\MSFS\n", L""},
        {"installedpackagespath \"C:\\MSFS\"\n", L""},
        {"InstalledPackagesPathNextBoot \"F:\\Pending\"\nInstalledPackagesPath \"C:\\A\"\n",
         L"C:\\A"},
        {"InstalledPackagesPath \"C:\\A\"\nInstalledPackagesPathNextBoot \"F:\\Pending\"\n",
         L"C:\\A"},
        {"InstalledPackagesPath= \"\\\\nas\\sim\"", L"\\\\nas\\sim"},
        {"InstalledPackagesPath:\"D:\\S\"", L"D:\\S"},
        {"InstalledPackagesPath \"Sim\\x\"", L""},
        {"InstalledPackagesPath \"D:Sim\"", L""},
        {"InstalledPackagesPath \"\\Sim\"", L""}};
    const test::TempFolder temp;
    for (const auto& [content, expected] : rows) {
        test::writeFile(temp / L"UserCfg.opt", content);
        EXPECT_EQ(readInstalledPackagesPath(temp / L"UserCfg.opt").native(), expected) << content;
    }
}

TEST(Discovery, FindsEachInstallationOnceInItsOrder) {
    const test::TempFolder temp;
    const auto roaming = temp / L"Roaming";
    const auto local = temp / L"Local";
    EXPECT_TRUE(discoverInstallations(roaming, local).empty());
    const std::wstring shared = (temp / L"shared").native();
    std::wstring upper = shared;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
    fs::create_directories(temp / L"shared" / L"Community");
    fs::create_directories(temp / L"nothing");
    fs::create_directories(roaming / steam2024); // a folder where the file belongs
    writeUserCfg(local / store2024, shared + L"\\");
    writeUserCfg(roaming / L"Microsoft Flight Simulator\\UserCfg.opt", upper);
    writeUserCfg(local / store2020, (temp / L"nothing").native());
    const auto found = discoverInstallations(roaming, local);
    ASSERT_EQ(found.size(), 2U) << "the same Community folder counts once";
    EXPECT_EQ(found[0].id, "msfs2024-store");
    EXPECT_EQ(found[0].communityFolder.native(), shared + L"\\Community");
    EXPECT_TRUE(found[0].available);
    EXPECT_EQ(found[1].id, "msfs2020-store");
    EXPECT_FALSE(found[1].available) << "no Community folder";
}

TEST(DiscoveryInProfile, ReadsTheUsersAppDataFolders) {
    HUB_REQUIRE_TEST_PREFIX();
    const auto roaming = knownFolderPath(FOLDERID_RoamingAppData);
    const auto file = roaming / steam2024;
    ASSERT_FALSE(fs::exists(file.parent_path()));
    const struct Cleanup {
        fs::path folder;
        ~Cleanup() { fs::remove_all(folder); }
    } cleanup{file.parent_path()};
    const test::TempFolder temp;
    writeUserCfg(file, temp.path());
    const auto found = discoverInstallations();
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0].communityFolder, temp / L"Community");
}

TEST(Packages, TheManifestVersionIsTheTopLevelOne) {
    const std::pair<const char*, const char*> rows[] = {
        {R"({"title": "Pkg", "package_version": " \t1.2.3 \r\n"})", "1.2.3"},
        {"\xEF\xBB\xBF{\r\n\"package_version\": \"2.0.0\"\r\n}\r\n", "2.0.0"},
        {R"({"dependencies": [{"package_version": "0.1.61"}], "package_version": "0.0.11"})",
         "0.0.11"},
        {R"({"dependencies": [{"package_version": "0.1.61"}]})", ""},
        {R"({"package_version": 1.5})", ""},
        {R"(["package_version", "1.0.0"])", ""}};
    const test::TempFolder temp;
    for (const auto& [content, expected] : rows) {
        test::writeFile(temp / L"manifest.json", content);
        EXPECT_EQ(readManifestVersion(temp.path()), expected) << content;
    }
    EXPECT_EQ(readManifestVersion(temp / L"missing"), "");
}

} // namespace
} // namespace hub

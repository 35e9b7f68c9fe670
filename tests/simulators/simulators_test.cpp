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
        {"InstalledPackagesPath \"\\Sim\"", L""},
        {"", L""}};
    const test::TempFolder temp;
    for (const auto& [content, expected] : rows) {
        test::writeFile(temp / L"UserCfg.opt", content);
        EXPECT_EQ(readInstalledPackagesPath(temp / L"UserCfg.opt").native(), expected) << content;
    }
    EXPECT_TRUE(readInstalledPackagesPath(temp / L"missing.opt").empty());
}

TEST(Discovery, FindsEachInstallationOnceInItsOrder) {
    const test::TempFolder temp;
    const auto roaming = temp / L"Roaming";
    const auto local = temp / L"Local";
    EXPECT_TRUE(discoverInstallations(roaming, local).empty());
    const auto packages = [&](const wchar_t* name) {
        fs::create_directories(temp / name / L"Community");
        return (temp / name).native();
    };
    std::wstring shared = packages(L"shared");
    writeUserCfg(local / store2020, packages(L"store2020") + L"\\");
    writeUserCfg(roaming / L"Microsoft Flight Simulator\\UserCfg.opt", shared + L"\\");
    std::transform(shared.begin(), shared.end(), shared.begin(), ::towupper);
    writeUserCfg(local / store2024, shared);
    writeUserCfg(roaming / steam2024, packages(L"shared"));
    fs::create_directories(temp / L"nothing");
    const auto found = discoverInstallations(roaming, local);
    ASSERT_EQ(found.size(), 2U) << "the same Community folder counts once";
    EXPECT_EQ(found[0].id, "msfs2024-steam");
    EXPECT_EQ(found[0].communityFolder, temp / L"shared" / L"Community");
    EXPECT_EQ(found[1].id, "msfs2020-store");
    EXPECT_EQ(found[1].communityFolder.native(), packages(L"store2020") + L"\\Community");
    EXPECT_TRUE(found[1].available);
    writeUserCfg(local / store2020, (temp / L"nothing").native());
    fs::remove(roaming / steam2024);
    fs::create_directories(roaming / steam2024); // a folder where the file belongs
    const auto rest = discoverInstallations(roaming, local);
    ASSERT_EQ(rest.size(), 2U);
    EXPECT_EQ(rest[0].id, "msfs2024-store");
    EXPECT_FALSE(rest[1].available) << "no Community folder";
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
        {R"(["package_version", "1.0.0"])", ""},
        {"// note\n{\"package_version\": \"1.0.0\"}", ""}};
    const test::TempFolder temp;
    for (const auto& [content, expected] : rows) {
        test::writeFile(temp / L"manifest.json", content);
        EXPECT_EQ(readManifestVersion(temp.path()), expected) << content;
    }
    EXPECT_EQ(readManifestVersion(temp / L"missing"), "");
}

} // namespace
} // namespace hub

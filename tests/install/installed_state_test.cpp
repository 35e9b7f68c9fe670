#include "install/component_operation.h"

#include "install_test_support.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

CatalogComponent communityPackage() {
    return test::builtInComponent(test::communityPackageId);
}

CatalogComponent application() {
    return test::builtInComponent(test::applicationId);
}

TEST(InstalledLocation, APackageGoesIntoTheCommunityFolderWhenOneIsKnown) {
    EXPECT_EQ(installedLocation(communityPackage(), L"D:\\Community", L"C:\\Local"),
              std::filesystem::path(L"D:\\Community\\orvantis-aircraft-velmora-weapons"));
    EXPECT_EQ(installedLocation(communityPackage(), L"", L"C:\\Local"), std::filesystem::path());
}

TEST(InstalledLocation, AnApplicationGoesIntoTheApplicationsFolder) {
    EXPECT_EQ(installedLocation(application(), L"D:\\Community", L"C:\\Local"),
              std::filesystem::path(L"C:\\Local\\Orvantis.CameraSystem"));
    EXPECT_EQ(installedLocation(application(), L"", L"C:\\Local"),
              std::filesystem::path(L"C:\\Local\\Orvantis.CameraSystem"));
}

TEST(InstalledLocation, TheFolderNameIsUtf8) {
    auto component = communityPackage();
    component.folderName = "caf\xC3\xA9";
    EXPECT_EQ(installedLocation(component, L"D:\\Community", L"C:\\Local"),
              std::filesystem::path(L"D:\\Community\\caf\u00e9"));
}

// The parent folder itself must never become a location: an uninstall would remove it.
TEST(InstalledLocation, AComponentWithoutFolderNameHasNoLocation) {
    auto package = communityPackage();
    package.folderName.clear();
    auto app = application();
    app.folderName.clear();
    EXPECT_EQ(installedLocation(package, L"D:\\Community", L"C:\\Local"), std::filesystem::path());
    EXPECT_EQ(installedLocation(app, L"D:\\Community", L"C:\\Local"), std::filesystem::path());
}

TEST(InstalledVersion, NoFolderMeansNotInstalled) {
    for (const auto& component : {communityPackage(), application()}) {
        const auto state = readInstalledVersion(component, {});
        EXPECT_FALSE(state.installed);
        EXPECT_EQ(state.version, "");
        EXPECT_EQ(state.location, std::filesystem::path());
    }
}

TEST(InstalledVersion, APackageFolderTellsItsManifestVersion) {
    const test::TempFolder root;
    const auto folder = root / L"package";
    test::makeTree(folder, {{"manifest.json", R"({"package_version": " 1.0.1\n"})"}});
    const auto state = readInstalledVersion(communityPackage(), folder);
    EXPECT_TRUE(state.installed);
    EXPECT_EQ(state.version, "1.0.1");
    EXPECT_EQ(state.location, folder);
}

TEST(InstalledVersion, APackageFolderWithoutUsableManifestIsInstalledInAnUnknownVersion) {
    const test::TempFolder root;
    test::makeTree(root / L"none", {{"layout.json", "{}"}});
    test::makeTree(root / L"number", {{"manifest.json", R"({"package_version": 1})"}});
    for (const auto* name : {L"none", L"number"}) {
        const auto state = readInstalledVersion(communityPackage(), root / name);
        EXPECT_TRUE(state.installed);
        EXPECT_EQ(state.version, "");
    }
}

TEST(InstalledVersion, APackageThatIsAFileOrMissingIsNotInstalled) {
    const test::TempFolder root;
    test::writeFile(root / L"file", "{}");
    for (const auto* name : {L"file", L"missing"}) {
        const auto state = readInstalledVersion(communityPackage(), root / name);
        EXPECT_FALSE(state.installed);
        EXPECT_EQ(state.version, "");
        EXPECT_EQ(state.location, root / name);
    }
}

TEST(InstalledVersion, AnApplicationTellsTheVersionOfItsReceipt) {
    const struct {
        const char* receipt; // null: no receipt
        const char* version;
    } cases[] = {
        {R"({"component": "orv-camera", "version": "0.11.0"})", "0.11.0"},
        {R"({"version": 11})", ""},
        {"{ not json", ""},
        {nullptr, ""},
    };
    for (const auto& [receipt, version] : cases) {
        const test::TempFolder folder;
        test::writeFile(folder / L"ORV-Camera.exe", "MZ");
        if (receipt != nullptr) {
            test::writeFile(folder / L"orv-hub-install.json", receipt);
        }
        const auto state = readInstalledVersion(application(), folder.path());
        EXPECT_TRUE(state.installed) << (receipt ? receipt : "no receipt");
        EXPECT_EQ(state.version, version) << (receipt ? receipt : "no receipt");
    }
}

TEST(InstalledVersion, AnApplicationWithoutItsExecutableIsNotInstalled) {
    const test::TempFolder folder;
    test::writeFile(folder / L"orv-hub-install.json", R"({"version": "0.11.0"})");
    std::filesystem::create_directory(folder / L"ORV-Camera.exe"); // a folder, not the program
    EXPECT_FALSE(readInstalledVersion(application(), folder.path()).installed);

    const test::TempFolder complete;
    test::makeTree(complete.path(), {{"ORV-Camera.exe", "MZ"}, {"orv-hub-install.json", "{}"}});
    auto withoutApplicationPart = application();
    withoutApplicationPart.application.reset();
    EXPECT_FALSE(readInstalledVersion(withoutApplicationPart, complete.path()).installed);
    EXPECT_TRUE(readInstalledVersion(application(), complete.path()).installed);
}

} // namespace
} // namespace hub

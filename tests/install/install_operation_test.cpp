// Installing end to end: download from the local HTTPS server, extraction, staging, activation.
#include "install/component_operation.h"

#include "install/operation_cancelled.h"
#include "install_test_support.h"
#include "util/paths.h"
#include "util/text.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

namespace fs = std::filesystem;
using test::FileTree;
using Report = test::ProgressReport;

const FileTree oldPackage =
    test::communityPackageArchive("0.9.0", {{"old-only.cfg", "old"}, {"shared.cfg", "old shared"}});
const FileTree newPackage =
    test::communityPackageArchive("1.0.0", {{"new-only.cfg", "new"}, {"shared.cfg", "new shared"}});

// The tree below a package's top folder, as it is installed.
FileTree installedTree(const FileTree& archive) {
    FileTree tree;
    const std::string top = "orvantis-aircraft-velmora-weapons/";
    for (const auto& [name, content] : archive) {
        tree.emplace(name.substr(top.size()), content);
    }
    return tree;
}

class InstallOperation : public test::OperationTest {
protected:
    InstallOperation() {
        package = test::builtInComponent(test::communityPackageId, server.url("/package.zip"));
        application = test::builtInComponent(test::applicationId, server.url("/app.zip"));
    }

    [[nodiscard]] fs::path packageFolder() const {
        return installedLocation(package, root / L"Community", root / L"Apps");
    }
    [[nodiscard]] fs::path applicationFolder() const {
        return installedLocation(application, root / L"Community", root / L"Apps");
    }
    [[nodiscard]] fs::path workFolder(const CatalogComponent& component) const {
        return root / L"Downloads" / toWide(component.id);
    }

    void install(const CatalogComponent& component, const fs::path& folder) {
        runOperation({OperationKind::Install, component, folder, root / L"Downloads"}, progress,
                     cancel, log);
    }

    // Puts the old package version in place as an earlier install would have.
    void installOldPackage() { test::makeTree(packageFolder(), installedTree(oldPackage)); }

    test::HttpsTestServer server;
    CatalogComponent package;
    CatalogComponent application;
};

TEST_F(InstallOperation, ACommunityPackageArrivesInTheCommunityFolder) {
    test::serveArchive(server, "/package.zip", newPackage);
    install(package, packageFolder());
    EXPECT_EQ(test::readTree(packageFolder()), installedTree(newPackage));
    EXPECT_FALSE(fs::exists(workFolder(package)));
    EXPECT_EQ(fs::directory_iterator(root / L"Community")->path(), packageFolder())
        << "no sibling folders are left";
    const auto state = readInstalledVersion(package, packageFolder());
    EXPECT_TRUE(state.installed);
    EXPECT_EQ(state.version, "1.0.0");
    EXPECT_EQ(logged(), (std::vector<std::string>{"install velmora-weapons-patch 1.0.0 -> " +
                                                      pathToUtf8(packageFolder()),
                                                  "installed velmora-weapons-patch 1.0.0"}));
}

TEST_F(InstallOperation, ProgressRunsThroughEveryPhaseInOrder) {
    test::serveArchive(server, "/package.zip", newPackage);
    install(package, packageFolder());
    std::vector<std::string> phases;
    for (const auto& [fraction, text] : reports) {
        if (phases.empty() || phases.back() != text) {
            phases.push_back(text);
        }
        if (text == "Downloading package") {
            EXPECT_GT(fraction, 0.0);
            EXPECT_LE(fraction, 0.4);
        } else if (text == "Copying files") {
            EXPECT_GE(fraction, 0.45);
            EXPECT_LE(fraction, 1.0);
        } else {
            EXPECT_EQ(fraction, text == "Activating the new version" ? 1.0 : -1.0) << text;
        }
    }
    EXPECT_EQ(phases, (std::vector<std::string>{"Downloading package", "Extracting package",
                                                "Preparing files", "Copying files",
                                                "Activating the new version"}));
    const auto firstCopy = std::find_if(reports.begin(), reports.end(), [](const Report& r) {
        return r.second == "Copying files";
    });
    EXPECT_DOUBLE_EQ(firstCopy->first, 0.45);
    EXPECT_DOUBLE_EQ(reports[reports.size() - 2].first, 1.0);
}

TEST_F(InstallOperation, AnUpdateReplacesTheOldVersionWhole) {
    installOldPackage();
    test::serveArchive(server, "/package.zip", newPackage);
    install(package, packageFolder());
    EXPECT_EQ(test::readTree(packageFolder()), installedTree(newPackage));
    EXPECT_EQ(readInstalledVersion(package, packageFolder()).version, "1.0.0");
}

TEST_F(InstallOperation, PreservedPathsOfTheOldVersionAreCarriedOver) {
    installOldPackage();
    test::writeFile(packageFolder() / L"user.ini", "the user's settings");
    package.preservedPaths = {L"user.ini", L"shared.cfg"};
    test::serveArchive(server, "/package.zip", newPackage);
    install(package, packageFolder());
    EXPECT_EQ(test::readFile(packageFolder() / L"user.ini"), "the user's settings");
    EXPECT_EQ(test::readFile(packageFolder() / L"shared.cfg"), "new shared")
        << "the new version's own copy wins";
    EXPECT_FALSE(fs::exists(packageFolder() / L"old-only.cfg"));
}

TEST_F(InstallOperation, AnInstallWorksWithoutProgressCallback) {
    test::serveArchive(server, "/package.zip", newPackage);
    progress = nullptr;
    install(package, packageFolder());
    EXPECT_EQ(readInstalledVersion(package, packageFolder()).version, "1.0.0");
}

TEST_F(InstallOperation, AnApplicationArrivesWithItsReceipt) {
    test::serveArchive(server, "/app.zip", test::applicationArchive({{"lib/x.dll", "dll"}}));
    install(application, applicationFolder());
    EXPECT_EQ(test::readTree(applicationFolder()),
              (FileTree{{"ORV-Camera.exe", "MZ the application"},
                        {"lib/", ""},
                        {"lib/x.dll", "dll"},
                        {"orv-hub-install.json",
                         "{\n  \"component\": \"orv-camera\",\n  \"version\": \"0.11.0\"\n}\n"}}));
    const auto state = readInstalledVersion(application, applicationFolder());
    EXPECT_TRUE(state.installed);
    EXPECT_EQ(state.version, "0.11.0");
    EXPECT_FALSE(fs::exists(workFolder(application)));
}

TEST_F(InstallOperation, UpdateAndReinstallOfAnApplicationRenewItsReceipt) {
    test::makeTree(applicationFolder(), {{"ORV-Camera.exe", "MZ old"},
                                         {"old-only.dll", "old"},
                                         {"orv-hub-install.json", R"({"version": "0.10.0"})"}});
    test::serveArchive(server, "/app.zip", test::applicationArchive());
    install(application, applicationFolder());
    EXPECT_EQ(readInstalledVersion(application, applicationFolder()).version, "0.11.0");
    EXPECT_FALSE(fs::exists(applicationFolder() / L"old-only.dll"));

    application.version = "0.12.0-beta";
    install(application, applicationFolder());
    EXPECT_EQ(readInstalledVersion(application, applicationFolder()).version, "0.12.0-beta");
    install(application, applicationFolder());
    EXPECT_EQ(readInstalledVersion(application, applicationFolder()).version, "0.12.0-beta");
    EXPECT_EQ(logged().back(), "installed orv-camera 0.12.0-beta");
}

// A folder named like the receipt inside the package makes the receipt impossible to write.
TEST_F(InstallOperation, AReceiptThatCannotBeWrittenLeavesTheOldVersion) {
    const FileTree installed{{"ORV-Camera.exe", "MZ old"},
                             {"orv-hub-install.json", R"({"version": "0.10.0"})"}};
    test::makeTree(applicationFolder(), installed);
    test::serveArchive(server, "/app.zip",
                       test::applicationArchive({{"orv-hub-install.json/", ""}}));
    const std::string expected = "unable to write the installation receipt of Camera System";
    EXPECT_EQ(test::failureOf([&] { install(application, applicationFolder()); }), expected);
    EXPECT_EQ(test::readTree(applicationFolder()), installed);
    EXPECT_FALSE(fs::exists(workFolder(application)));
    EXPECT_EQ(logged().back(), "failed: " + expected);
}

TEST_F(InstallOperation, AFailedPreparationIsLoggedAndKeepsTheOldVersion) {
    installOldPackage();
    server.answer("/package.zip", {.status = 404});
    const std::string expected = "The package server returned HTTP 404.";
    EXPECT_EQ(test::failureOf([&] { install(package, packageFolder()); }), expected);
    EXPECT_EQ(test::readTree(packageFolder()), installedTree(oldPackage));
    EXPECT_EQ(logged(), (std::vector<std::string>{"install velmora-weapons-patch 1.0.0 -> " +
                                                      pathToUtf8(packageFolder()),
                                                  "failed: " + expected}));
    EXPECT_TRUE(fs::exists(workFolder(package))) << "left for the next preparation to clear";
}

// Cancelling at each point where an install looks at the flag keeps the old version; the work
// folder stays only when the download was cancelled.
TEST_F(InstallOperation, CancellationAtEveryPointKeepsTheOldVersion) {
    const struct {
        const char* cancelAt; // the progress text at which the flag is raised; null: before start
        bool workFolderLeft;
    } points[] = {
        {nullptr, true},
        {"Downloading package", true},
        {"Extracting package", false},
        {"Preparing files", false},
        {"Copying files", false},
    };
    test::serveArchive(server, "/package.zip", newPackage);
    for (const auto& [cancelAt, workFolderLeft] : points) {
        const std::string point = cancelAt != nullptr ? cancelAt : "before the start";
        installOldPackage();
        cancel = cancelAt == nullptr;
        progress = [this, at = std::string(cancelAt != nullptr ? cancelAt : "")](
                       double, const std::string& text) {
            if (text == at) {
                cancel = true;
            }
        };
        EXPECT_THROW(install(package, packageFolder()), OperationCancelled) << point;
        EXPECT_EQ(test::readTree(packageFolder()), installedTree(oldPackage)) << point;
        EXPECT_EQ(fs::exists(workFolder(package)), workFolderLeft) << point;
        EXPECT_EQ(logged().back(), "cancelled velmora-weapons-patch") << point;
    }
}

// Once the new version has been copied, activation runs to its end whatever the flag says.
TEST_F(InstallOperation, ACancelDuringActivationHasNoEffect) {
    installOldPackage();
    test::serveArchive(server, "/package.zip", newPackage);
    progress = [this](double, const std::string& text) {
        cancel = text == "Activating the new version";
    };
    install(package, packageFolder());
    EXPECT_EQ(test::readTree(packageFolder()), installedTree(newPackage));
    EXPECT_EQ(logged().back(), "installed velmora-weapons-patch 1.0.0");
}

} // namespace
} // namespace hub

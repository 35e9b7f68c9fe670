#include "install/package_preparation.h"

#include "install/operation_cancelled.h"
#include "install_test_support.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

namespace fs = std::filesystem;
using test::FileTree;
using Report = test::ProgressReport;

class PackagePreparation : public test::OperationTest {
protected:
    PackagePreparation() {
        package = test::builtInComponent(test::communityPackageId, server.url("/package.zip"));
        application = test::builtInComponent(test::applicationId, server.url("/app.zip"));
    }

    PreparedPackage prepare(const CatalogComponent& component) {
        return preparePackage(component, downloadRoot, progress, cancel);
    }
    std::string preparationError(const CatalogComponent& component) {
        return test::failureOf([&] { (void)prepare(component); });
    }

    test::HttpsTestServer server;
    CatalogComponent package;
    CatalogComponent application;
    fs::path downloadRoot = root / L"Downloads";
};

TEST_F(PackagePreparation, ACommunityPackageIsDownloadedUnpackedAndVerified) {
    const FileTree archive =
        test::communityPackageArchive("1.0.0", {{"SimObjects/weapons.cfg", "[weapons]"}});
    test::serveArchive(server, "/package.zip", archive);
    const auto prepared = prepare(package);
    const auto workFolder = downloadRoot / L"velmora-weapons-patch";
    EXPECT_EQ(prepared.workFolder, workFolder);
    EXPECT_EQ(prepared.contentFolder,
              workFolder / L"extracted" / L"orvantis-aircraft-velmora-weapons");
    EXPECT_EQ(test::readTree(workFolder / L"extracted"),
              (FileTree{{"orvantis-aircraft-velmora-weapons/", ""},
                        {"orvantis-aircraft-velmora-weapons/SimObjects/", ""},
                        {"orvantis-aircraft-velmora-weapons/SimObjects/weapons.cfg", "[weapons]"},
                        {"orvantis-aircraft-velmora-weapons/manifest.json",
                         R"({"package_version": "1.0.0"})"}}));
    EXPECT_TRUE(fs::is_regular_file(workFolder / L"package.zip"));
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(reports.back(), Report(-1.0, "Extracting package"));
    EXPECT_EQ(reports[reports.size() - 2], Report(0.4, "Downloading package"));
}

TEST_F(PackagePreparation, AnApplicationIsTheArchiveRootWithItsExecutable) {
    test::serveArchive(server, "/app.zip", test::applicationArchive({{"lib/x.dll", "dll"}}));
    const auto prepared = prepare(application);
    EXPECT_EQ(prepared.contentFolder, downloadRoot / L"orv-camera" / L"extracted");
    EXPECT_EQ(test::readFile(prepared.contentFolder / L"ORV-Camera.exe"), "MZ the application");
}

TEST_F(PackagePreparation, AnArchiveWithAnotherTopFolderIsRefused) {
    test::serveArchive(
        server, "/package.zip",
        {{"orvantis-aircraft-other/manifest.json", R"({"package_version": "1.0.0"})"}});
    EXPECT_EQ(preparationError(package),
              "The downloaded archive does not contain the expected package folder.");
}

TEST_F(PackagePreparation, AnApplicationMustHaveItsExecutableAtTheRoot) {
    for (const FileTree& archive :
         {FileTree{{"Orvantis.CameraSystem/ORV-Camera.exe", "MZ"}},
          FileTree{{"ORV-Camera.exe/", ""}}, FileTree{{"other.exe", "MZ"}}}) {
        test::serveArchive(server, "/app.zip", archive);
        EXPECT_EQ(preparationError(application),
                  "The downloaded application does not contain its expected executable.");
    }
}

TEST_F(PackagePreparation, ACommunityPackageMustBeTheCatalogVersion) {
    const struct {
        FileTree archive;
        std::string error;
    } cases[] = {
        {test::communityPackageArchive("0.9.0"),
         "The downloaded package version is 0.9.0, expected 1.0.0."},
        {test::communityPackageArchive("v1.0.0"),
         "The downloaded package version is v1.0.0, expected 1.0.0."},
        {{{"orvantis-aircraft-velmora-weapons/manifest.json", R"({"title": "Weapons"})"}},
         "The downloaded package version is unknown, expected 1.0.0."},
        {{{"orvantis-aircraft-velmora-weapons/layout.json", "{}"}},
         "The downloaded package version is unknown, expected 1.0.0."},
    };
    for (const auto& [archive, error] : cases) {
        test::serveArchive(server, "/package.zip", archive);
        EXPECT_EQ(preparationError(package), error);
    }
}

TEST_F(PackagePreparation, ADamagedArchiveFailsInExtraction) {
    server.answer("/package.zip", {.body = "this is not a zip archive"});
    EXPECT_EQ(preparationError(package), "Package extraction failed (code 1).");
}

TEST_F(PackagePreparation, AFailedPreparationLeavesItsWorkFolderForTheNextOneToClear) {
    test::serveArchive(server, "/package.zip", test::communityPackageArchive("0.9.0"));
    (void)preparationError(package);
    const auto workFolder = downloadRoot / L"velmora-weapons-patch";
    EXPECT_TRUE(fs::exists(workFolder / L"package.zip"));
    EXPECT_TRUE(fs::exists(workFolder / L"extracted" / L"orvantis-aircraft-velmora-weapons"));
    test::writeFile(workFolder / L"extracted" / L"stale.txt", "from the failed attempt");

    test::serveArchive(server, "/package.zip", test::communityPackageArchive("1.0.0"));
    const auto prepared = prepare(package);
    EXPECT_FALSE(fs::exists(workFolder / L"extracted" / L"stale.txt"));
    EXPECT_EQ(test::readTree(workFolder / L"extracted").size(), 2u);
    EXPECT_TRUE(fs::exists(prepared.contentFolder / L"manifest.json"));
}

TEST_F(PackagePreparation, CancellationDuringTheExtractionClearsTheWorkFolder) {
    test::serveArchive(server, "/package.zip", test::communityPackageArchive("1.0.0"));
    progress = [this](double, const std::string& text) { cancel = text == "Extracting package"; };
    EXPECT_THROW((void)prepare(package), OperationCancelled);
    EXPECT_FALSE(fs::exists(downloadRoot / L"velmora-weapons-patch"));
}

} // namespace
} // namespace hub

// Failures of an install that end before anything is fetched from the network.
#include "install/component_operation.h"
#include "install/package_preparation.h"

#include "install_test_support.h"
#include "support/silent_listener.h"
#include "support/test_files.h"
#include "util/paths.h"
#include "util/text.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace hub {
namespace {

namespace fs = std::filesystem;

class InstallFailure : public test::OperationTest {
protected:
    // Installs into root\Community\<folder name>; returns the error text.
    std::string installError(const CatalogComponent& component) {
        return test::failureOf([&] {
            runOperation({OperationKind::Install, component,
                          root / L"Community" / toWide(component.folderName), downloadRoot},
                         {}, cancel, log);
        });
    }

    fs::path downloadRoot = root / L"Downloads";
};

TEST_F(InstallFailure, AComponentWithoutDownloadIsNotAvailableYet) {
    auto component = test::builtInComponent(test::communityPackageId, "");
    EXPECT_EQ(installError(component), "Weapons Patch is not available for download yet.");
    EXPECT_EQ(logged(),
              (std::vector<std::string>{
                  "install velmora-weapons-patch 1.0.0 -> " +
                      pathToUtf8(root / L"Community" / L"orvantis-aircraft-velmora-weapons"),
                  "failed: Weapons Patch is not available for download yet."}));
    EXPECT_FALSE(fs::exists(downloadRoot));
}

TEST_F(InstallFailure, ACommunityPackageNeedsItsArchiveFolder) {
    auto component = test::builtInComponent(test::communityPackageId);
    component.archiveFolder.clear();
    EXPECT_EQ(installError(component), "The built-in package definition is incomplete.");
    EXPECT_EQ(logged().back(), "failed: The built-in package definition is incomplete.");
}

TEST_F(InstallFailure, AnHttpAddressIsRefusedBeforeAnyConnection) {
    const test::SilentListener listener;
    const std::string port = std::to_string(listener.port());
    for (const std::string& url :
         {"http://localhost:" + port + "/p.zip", "ftp://localhost:" + port + "/p.zip",
          std::string("not a url")}) {
        const auto component = test::builtInComponent(test::communityPackageId, url);
        EXPECT_EQ(installError(component), "The package URL is not a valid HTTPS address.") << url;
    }
    EXPECT_FALSE(listener.connectionAttempted());
}

TEST_F(InstallFailure, AFileSystemErrorBecomesTheSystemTextAndTheNameItConcerns) {
    test::writeFile(downloadRoot, "a file where the downloads folder belongs");
    const auto component = test::builtInComponent(test::communityPackageId);
    const std::string message = installError(component);
    const std::string suffix = " (Downloads)"; // the folder that could not be made
    ASSERT_GT(message.size(), suffix.size());
    EXPECT_EQ(message.substr(message.size() - suffix.size()), suffix) << message;
    const std::string systemText = message.substr(0, message.size() - suffix.size());
    EXPECT_FALSE(systemText.empty());
    EXPECT_EQ(systemText.find("filesystem"), std::string::npos) << message;
    EXPECT_EQ(systemText.find("create_directories"), std::string::npos) << message;
    EXPECT_EQ(logged().back(), "failed: " + message);
}

TEST_F(InstallFailure, APreparationLeavesItsWorkFolderAndTheNextOneStartsAfresh) {
    const auto component = test::builtInComponent(test::communityPackageId, "http://localhost/");
    const auto workFolder = downloadRoot / L"velmora-weapons-patch";
    test::makeTree(workFolder, {{"package.zip", "old"}, {"extracted/stale/file.txt", "stale"}});
    EXPECT_EQ(test::failureOf([&] { (void)preparePackage(component, downloadRoot, {}, cancel); }),
              "The package URL is not a valid HTTPS address.");
    EXPECT_EQ(test::readTree(workFolder), (test::FileTree{{"extracted/", ""}}));
}

} // namespace
} // namespace hub

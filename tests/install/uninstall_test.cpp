#include "install/component_operation.h"

#include "install/engine_test_support.h"
#include "install_test_support.h"
#include "support/test_files.h"
#include "util/paths.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace hub {
namespace {

namespace fs = std::filesystem;
using Report = test::ProgressReport;

class Uninstall : public test::OperationTest {
protected:
    Uninstall() {
        // The test child writes its command line here when it runs.
        SetEnvironmentVariableW(L"HUB_CHILD_REPORT", childReport().c_str());
    }
    ~Uninstall() override { SetEnvironmentVariableW(L"HUB_CHILD_REPORT", nullptr); }

    [[nodiscard]] fs::path childReport() const { return root / L"child-report.txt"; }
    [[nodiscard]] fs::path applicationFolder() const { return root / L"Orvantis.CameraSystem"; }

    // An installed application whose executable is the test child, run with the arguments.
    CatalogComponent installedApplication(const wchar_t* uninstallArguments) {
        auto component = test::builtInComponent(test::applicationId);
        component.application->uninstallArguments = uninstallArguments;
        test::makeTree(applicationFolder(), {{"orv-hub-install.json", "{}"}, {"data/x.bin", "x"}});
        fs::copy_file(test::testProgram(L"hub_test_child.exe"),
                      applicationFolder() / component.application->executable);
        return component;
    }

    void uninstall(const CatalogComponent& component, const fs::path& folder) {
        runOperation({OperationKind::Uninstall, component, folder, root / L"Downloads"}, progress,
                     cancel, log);
    }
};

TEST_F(Uninstall, WithoutUninstallArgumentsOnlyTheFolderIsRemoved) {
    const auto component = installedApplication(L"");
    uninstall(component, applicationFolder());
    EXPECT_FALSE(fs::exists(applicationFolder()));
    EXPECT_FALSE(fs::exists(childReport())) << "nothing may run";
    const std::string folder = pathToUtf8(applicationFolder());
    EXPECT_EQ(logged(), (std::vector<std::string>{"uninstall orv-camera from " + folder,
                                                  "uninstalled orv-camera"}));
    EXPECT_EQ(reports, (std::vector<Report>{{-1.0, "Removing files"}}));
}

TEST_F(Uninstall, TheUninstallCommandRunsFirstAndItsExitCodeIsOnlyLogged) {
    const auto component = installedApplication(L"exit 1");
    uninstall(component, applicationFolder());
    EXPECT_FALSE(fs::exists(applicationFolder()));
    ASSERT_TRUE(fs::exists(childReport()));
    const std::string folder = pathToUtf8(applicationFolder());
    EXPECT_EQ(logged(), (std::vector<std::string>{"uninstall orv-camera from " + folder,
                                                  "uninstall command exited with code 1",
                                                  "uninstalled orv-camera"}));
    EXPECT_EQ(reports, (std::vector<Report>{{-1.0, "Unregistering Camera System"},
                                            {-1.0, "Removing files"}}));
}

TEST_F(Uninstall, ExitCodesAreLoggedAsUnsigned) {
    const auto component = installedApplication(L"exit 4294967295");
    uninstall(component, applicationFolder());
    EXPECT_EQ(logged().at(1), "uninstall command exited with code 4294967295");
    EXPECT_FALSE(fs::exists(applicationFolder()));
}

TEST_F(Uninstall, AHangingUninstallCommandIsStoppedAfterFifteenSecondsAndTheFolderStillGoes) {
    const auto component = installedApplication(L"sleep 120000");
    const auto started = GetTickCount64();
    uninstall(component, applicationFolder());
    const auto elapsed = GetTickCount64() - started;
    EXPECT_GE(elapsed, 15'000u);
    EXPECT_LT(elapsed, 60'000u);
    EXPECT_EQ(logged().at(1), "uninstall command timed out and was stopped");
    EXPECT_EQ(logged().at(2), "uninstalled orv-camera");
    EXPECT_FALSE(fs::exists(applicationFolder()));
}

TEST_F(Uninstall, AnUninstallCommandThatCannotStartIsLoggedAndTheFolderStillGoes) {
    const auto component = installedApplication(L"--uninstall");
    test::writeFile(applicationFolder() / component.application->executable, "not a program");
    uninstall(component, applicationFolder());
    EXPECT_FALSE(fs::exists(applicationFolder()));
    ASSERT_EQ(logged().size(), 3u);
    EXPECT_EQ(logged()[1].rfind("uninstall command failed: Unable to start ORV-Camera.exe: ", 0),
              0u)
        << logged()[1];
    EXPECT_EQ(logged()[2], "uninstalled orv-camera");
}

TEST_F(Uninstall, AMissingExecutableRunsNothingAndLogsNothingAboutIt) {
    const auto component = installedApplication(L"exit 3");
    fs::remove(applicationFolder() / component.application->executable);
    uninstall(component, applicationFolder());
    EXPECT_FALSE(fs::exists(applicationFolder()));
    EXPECT_FALSE(fs::exists(childReport()));
    EXPECT_EQ(logged().size(), 2u);
    EXPECT_EQ(reports, (std::vector<Report>{{-1.0, "Removing files"}}));
}

TEST_F(Uninstall, ACommunityPackageFolderIsRemoved) {
    const auto component = test::builtInComponent(test::communityPackageId);
    const auto folder = root / L"Community" / L"orvantis-aircraft-velmora-weapons";
    test::makeTree(folder, {{"manifest.json", R"({"package_version": "1.0.0"})"}});
    uninstall(component, folder);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::exists(root / L"Community"));
    EXPECT_EQ(logged(), (std::vector<std::string>{"uninstall velmora-weapons-patch from " +
                                                      pathToUtf8(folder),
                                                  "uninstalled velmora-weapons-patch"}));
}

TEST_F(Uninstall, AnUnknownKindIsRefusedAndTouchesNothing) {
    const auto component = test::builtInComponent(test::communityPackageId);
    const auto folder = root / L"package";
    test::makeTree(folder, {{"manifest.json", "{}"}});
    EXPECT_EQ(test::failureOf([&] {
                  runOperation(
                      {static_cast<OperationKind>(7), component, folder, root / L"Downloads"},
                      progress, cancel, log);
              }),
              "The requested operation is not supported.");
    EXPECT_EQ(test::readTree(folder).size(), 1U);
    EXPECT_TRUE(logged().empty());
}

TEST_F(Uninstall, AFolderThatIsAlreadyGoneIsNoFailure) {
    const auto component = test::builtInComponent(test::communityPackageId);
    uninstall(component, root / L"missing");
    EXPECT_EQ(logged().back(), "uninstalled velmora-weapons-patch");
    EXPECT_TRUE(reports.empty());
}

TEST_F(Uninstall, AFolderInUseFailsWithTheMessageLoggedAndIsKept) {
    const auto component = installedApplication(L"");
    const test::MoveRecorder refuseAll(
        [](const fs::path&, const fs::path&) { return ERROR_SHARING_VIOLATION; });
    const std::string expected =
        "Orvantis.CameraSystem is in use. Close the programs using it and try again.";
    EXPECT_EQ(test::failureOf([&] { uninstall(component, applicationFolder()); }), expected);
    EXPECT_TRUE(fs::exists(applicationFolder() / component.application->executable));
    EXPECT_EQ(logged().back(), "failed: " + expected);
}

TEST_F(Uninstall, OperationsWithoutFolderFailAtOnceAndLogNothing) {
    for (const auto kind : {OperationKind::Install, OperationKind::Uninstall}) {
        const auto component = test::builtInComponent(test::communityPackageId);
        EXPECT_EQ(
            test::failureOf([&] {
                runOperation({kind, component, {}, root / L"Downloads"}, progress, cancel, log);
            }),
            "No installation folder is available for Weapons Patch.");
    }
    EXPECT_FALSE(fs::exists(root / L"hub.log"));
    EXPECT_FALSE(fs::exists(root / L"Downloads"));
}

} // namespace
} // namespace hub

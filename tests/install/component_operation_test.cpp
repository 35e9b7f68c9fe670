// Installing and uninstalling end to end: download from the local HTTPS server, extraction,
// staging, activation, the application's own uninstall command, and the activity log.
#include "install/component_operation.h"

#include "harness/https_test_server.h"
#include "harness/silent_listener.h"
#include "support/test_files.h"
#include "support/test_support.h"
#include "util/paths.h"
#include "util/text.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

namespace fs = std::filesystem;
using test::FileTree;

const std::string top = "orvantis-aircraft-velmora-weapons/";

FileTree packageArchive(const std::string& version, const FileTree& files = {}) {
    FileTree tree{{top + "manifest.json", R"({"package_version": ")" + version + "\"}"}};
    for (const auto& [name, content] : files) {
        tree.emplace(top + name, content);
    }
    return tree;
}

class ComponentOperation : public testing::Test {
protected:
    ComponentOperation() {
        package.downloadUrl = server.url("/package.zip");
        application.downloadUrl = server.url("/app.zip");
    }

    void serve(std::string_view path, const FileTree& tree) {
        const test::TempFolder scratch;
        test::writeZip(scratch / L"archive.zip", tree);
        server.answer(path, {.body = test::readFile(scratch / L"archive.zip")});
    }
    [[nodiscard]] fs::path folderOf(const CatalogComponent& component) const {
        return installedLocation(component, root / L"Community", root / L"Apps");
    }
    void run(OperationKind kind, const CatalogComponent& component) {
        runOperation({kind, component, folderOf(component), root / L"Downloads", 2000},
                     recorder.callback, cancel, log);
    }
    std::string failure(OperationKind kind, const CatalogComponent& component) {
        return test::failureOf([&] { run(kind, component); });
    }
    [[nodiscard]] std::vector<std::string> logged() const {
        return test::logMessages(root / L"hub.log");
    }
    [[nodiscard]] std::string version(const CatalogComponent& component) const {
        return readInstalledVersion(component, folderOf(component)).version;
    }
    void installOld() {
        ASSERT_EQ(removeTree(folderOf(package)), 0U);
        test::makeTree(root / L"Community", packageArchive("0.9.0", {{"old.cfg", "old"}}));
    }

    test::TempFolder root;
    test::HttpsTestServer server;
    Catalog catalog = buildCatalog();
    CatalogComponent package = componentById(catalog, "velmora-weapons-patch");
    CatalogComponent application = componentById(catalog, "orv-camera");
    ActivityLog log{root / L"hub.log"};
    std::atomic<bool> cancel{false};
    test::ProgressRecorder recorder;
};

TEST_F(ComponentOperation, APackageArrivesWholeWithProgressThroughEveryPhase) {
    installOld();
    serve("/package.zip", packageArchive("1.0.0", {{"new.cfg", "new"}}));
    run(OperationKind::Install, package);
    EXPECT_EQ(test::readTree(root / L"Community"),
              (FileTree{{top, ""},
                        {top + "manifest.json", R"({"package_version": "1.0.0"})"},
                        {top + "new.cfg", "new"}}));
    EXPECT_EQ(version(package), "1.0.0");
    EXPECT_FALSE(fs::exists(root / L"Downloads" / L"velmora-weapons-patch"));
    const std::string folder = pathToUtf8(folderOf(package));
    EXPECT_EQ(logged(),
              (std::vector<std::string>{"install velmora-weapons-patch 1.0.0 -> " + folder,
                                        "installed velmora-weapons-patch 1.0.0"}));
    EXPECT_EQ(recorder.phases(), (std::vector<std::string>{
                                     "Downloading package", "Extracting package", "Preparing files",
                                     "Copying files", "Activating the new version"}));
    for (const auto& [fraction, text] : recorder.reports) {
        const bool copying = text == "Copying files";
        EXPECT_TRUE(text == "Downloading package" ? fraction > 0.0 && fraction <= 0.4
                    : copying                     ? fraction >= 0.45 && fraction <= 1.0
                              : fraction == (text == "Activating the new version" ? 1.0 : -1.0))
            << text << " " << fraction;
    }
}

TEST_F(ComponentOperation, AnApplicationArrivesWithItsReceiptAndAnUpdateRenewsIt) {
    serve("/app.zip", {{"ORV-Camera.exe", "MZ"}, {"lib/x.dll", "dll"}});
    run(OperationKind::Install, application);
    EXPECT_EQ(test::readFile(folderOf(application) / L"orv-hub-install.json"),
              "{\n  \"component\": \"orv-camera\",\n  \"version\": \"0.11.0\"\n}\n");
    application.version = "0.12.0-beta";
    serve("/app.zip", {{"ORV-Camera.exe", "MZ"}});
    run(OperationKind::Install, application);
    EXPECT_EQ(version(application), "0.12.0-beta");
    EXPECT_FALSE(fs::exists(folderOf(application) / L"lib"));
}

// Every failure is the user's message, logged, and leaves the installed version as it was.
TEST_F(ComponentOperation, AFailedInstallKeepsTheOldVersionAndLogsTheMessage) {
    const test::SilentListener listener;
    const std::string silent = "localhost:" + std::to_string(listener.port()) + "/p.zip";
    const struct {
        const char* name;
        std::function<void(CatalogComponent&)> setUp;
        std::string failure;
    } rows[] = {
        {"not found", [&](auto&) { server.answer("/package.zip", {.status = 404}); },
         "The package server returned HTTP 404."},
        {"not modified", [&](auto&) { server.answer("/package.zip", {.status = 304}); },
         "The package server returned HTTP 304."},
        {"server error", [&](auto&) { server.answer("/package.zip", {.status = 500}); },
         "The package server returned HTTP 500."},
        {"another version", [&](auto&) { serve("/package.zip", packageArchive("0.9.1")); },
         "The downloaded package version is 0.9.1, expected 1.0.0."},
        {"no manifest version",
         [&](auto&) {
             serve("/package.zip", {{top + "layout.json", "{}"}});
         },
         "The downloaded package version is unknown, expected 1.0.0."},
        {"another folder",
         [&](auto&) {
             serve("/package.zip", {{"other/manifest.json", "{}"}});
         },
         "The downloaded archive does not contain the expected package folder."},
        {"no zip", [&](auto&) { server.answer("/package.zip", {.body = "<html>"}); },
         "Package extraction failed (code 1)."},
        {"http", [&](auto& c) { c.downloadUrl = "http://" + silent; },
         "The package URL is not a valid HTTPS address."},
        {"ftp", [&](auto& c) { c.downloadUrl = "ftp://" + silent; },
         "The package URL is not a valid HTTPS address."},
        {"no download yet", [](auto& c) { c.downloadUrl.clear(); },
         "Weapons Patch is not available for download yet."},
        {"no archive folder", [](auto& c) { c.archiveFolder.clear(); },
         "The built-in package definition is incomplete."},
        {"cancelled", [&](auto&) { cancel = true; }, "cancelled"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        installOld();
        cancel = false;
        CatalogComponent component = package;
        row.setUp(component);
        EXPECT_EQ(failure(OperationKind::Install, component), row.failure);
        EXPECT_EQ(version(package), "0.9.0");
        EXPECT_EQ(logged().back(), row.failure == "cancelled" ? "cancelled velmora-weapons-patch"
                                                              : "failed: " + row.failure);
    }
    EXPECT_FALSE(listener.connectionAttempted());
}

// Cancelling at each point where an install looks at the flag keeps the old version; once the
// new version is copied, activation runs to its end whatever the flag says.
TEST_F(ComponentOperation, CancellationStopsEveryPhaseButTheActivation) {
    serve("/package.zip", packageArchive("1.0.0"));
    for (const char* phase : {"Downloading package", "Extracting package", "Preparing files",
                              "Copying files", "Activating the new version"}) {
        SCOPED_TRACE(phase);
        installOld();
        cancel = false;
        recorder.callback = [&](double, const std::string& text) {
            cancel = cancel || text == phase;
        };
        const bool activated = std::string(phase) == "Activating the new version";
        EXPECT_EQ(failure(OperationKind::Install, package), activated ? "no failure" : "cancelled");
        EXPECT_EQ(version(package), activated ? "1.0.0" : "0.9.0");
    }
}

TEST_F(ComponentOperation, AReceiptThatCannotBeWrittenKeepsTheOldApplication) {
    test::makeTree(folderOf(application), {{"ORV-Camera.exe", "MZ old"}});
    serve("/app.zip", {{"ORV-Camera.exe", "MZ"}, {"orv-hub-install.json/", ""}});
    EXPECT_EQ(failure(OperationKind::Install, application),
              "unable to write the installation receipt of Camera System");
    EXPECT_EQ(test::readTree(folderOf(application)), (FileTree{{"ORV-Camera.exe", "MZ old"}}));
}

// The application's own uninstall step runs first; whatever it does is only logged, and the
// folder goes in every case. The test child stands in for the application.
TEST_F(ComponentOperation, AnUninstallRunsTheApplicationsCommandAndRemovesTheFolder) {
    const std::string started = "uninstall orv-camera from " + pathToUtf8(folderOf(application));
    const struct {
        const wchar_t* arguments;
        const char* program; // the executable's content; null: the test child
        std::vector<std::string> log;
    } rows[] = {
        {L"", nullptr, {started, "uninstalled orv-camera"}},
        {L"exit 1",
         nullptr,
         {started, "uninstall command exited with code 1", "uninstalled orv-camera"}},
        {L"exit 4294967295",
         nullptr,
         {started, "uninstall command exited with code 4294967295", "uninstalled orv-camera"}},
        {L"sleep 60000",
         nullptr,
         {started, "uninstall command timed out and was stopped", "uninstalled orv-camera"}},
        {L"exit 3",
         "not a program",
         {started,
          "uninstall command failed: Unable to start ORV-Camera.exe: ", "uninstalled orv-camera"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(toUtf8(row.arguments));
        fs::remove(root / L"hub.log");
        application.application->uninstallArguments = row.arguments;
        const auto executable = folderOf(application) / L"ORV-Camera.exe";
        test::makeTree(folderOf(application), {{"data/x.bin", "x"}});
        if (row.program != nullptr) {
            test::writeFile(executable, row.program);
        } else {
            fs::copy_file(test::testProgram(L"hub_test_child.exe"), executable);
        }
        run(OperationKind::Uninstall, application);
        EXPECT_FALSE(fs::exists(folderOf(application)));
        auto messages = logged();
        if (messages.size() == 3 && row.program != nullptr) {
            messages[1].resize(row.log[1].size());
        }
        EXPECT_EQ(messages, row.log);
    }
}

TEST_F(ComponentOperation, AnUninstallRemovesOnlyThePackageFolder) {
    installOld();
    test::writeFile(root / L"Community" / L"other.txt", "another package");
    run(OperationKind::Uninstall, package);
    EXPECT_EQ(test::readTree(root / L"Community"), (FileTree{{"other.txt", "another package"}}));
    run(OperationKind::Uninstall, package);
    EXPECT_EQ(logged().back(), "uninstalled velmora-weapons-patch") << "already gone is no failure";
    installOld();
    const test::MoveRecorder refused(
        [](const fs::path&, const fs::path&) { return std::optional<std::uint32_t>(32); });
    const std::string inUse =
        "orvantis-aircraft-velmora-weapons is in use. Close the programs using it and try again.";
    EXPECT_EQ(failure(OperationKind::Uninstall, package), inUse);
    EXPECT_EQ(logged().back(), "failed: " + inUse);
    EXPECT_EQ(version(package), "0.9.0");
}

// A component without a folder name has no location: an uninstall would remove the parent.
TEST_F(ComponentOperation, WithoutAFolderNothingIsTouched) {
    package.folderName.clear();
    application.folderName.clear();
    EXPECT_EQ(folderOf(package), fs::path());
    EXPECT_EQ(folderOf(application), fs::path());
    EXPECT_EQ(folderOf(componentById(catalog, "orv-camera")),
              root / L"Apps" / L"Orvantis.CameraSystem");
    for (const auto kind : {OperationKind::Install, OperationKind::Uninstall}) {
        EXPECT_EQ(failure(kind, package), "No installation folder is available for Weapons Patch.");
    }
    EXPECT_FALSE(fs::exists(root / L"hub.log"));
}

TEST(InstalledVersion, IsTheManifestOrReceiptVersionOfAnInstalledFolder) {
    const Catalog catalog = buildCatalog();
    const auto& package = componentById(catalog, "velmora-weapons-patch");
    const auto& application = componentById(catalog, "orv-camera");
    const test::TempFolder root;
    const struct {
        const CatalogComponent* component;
        FileTree tree;
        bool installed;
        const char* version;
    } rows[] = {
        {&package, {{"manifest.json", R"({"package_version": " 1.0.1\n"})"}}, true, "1.0.1"},
        {&package, {{"manifest.json", R"({"package_version": 1})"}}, true, ""},
        {&package, {{"layout.json", "{}"}}, true, ""},
        {&application,
         {{"ORV-Camera.exe", "MZ"}, {"orv-hub-install.json", R"({"version": "0.11.0"})"}},
         true,
         "0.11.0"},
        {&application,
         {{"ORV-Camera.exe", "MZ"}, {"orv-hub-install.json", R"({"version": 11})"}},
         true,
         ""},
        {&application, {{"ORV-Camera.exe", "MZ"}}, true, ""},
        {&application, {{"ORV-Camera.exe/", ""}, {"orv-hub-install.json", "{}"}}, false, ""},
    };
    int index = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(index);
        const auto folder = root / std::to_wstring(index++);
        test::makeTree(folder, row.tree);
        const auto state = readInstalledVersion(*row.component, folder);
        EXPECT_EQ(state.installed, row.installed);
        EXPECT_EQ(state.version, row.version);
    }
    EXPECT_FALSE(readInstalledVersion(package, root / L"missing").installed);
    EXPECT_FALSE(readInstalledVersion(package, {}).installed);
}

} // namespace
} // namespace hub

// Installing and uninstalling end to end: download from the local HTTPS server, extraction,
// staging, activation, the application's own uninstall command, and the activity log.
#include "install/component_operation.h"

#include "harness/https_test_server.h"
#include "harness/silent_listener.h"
#include "support/test_support.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/unique_handle.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

namespace fs = std::filesystem;
using test::FileTree;

const std::string top = "orvantis-aircraft-velmora-weapons/";

class ComponentOperation : public testing::Test {
protected:
    ComponentOperation() {
        package.downloadUrl = server.url("/package.zip");
        application.downloadUrl = server.url("/app.zip");
    }

    void serve(std::string_view path, const FileTree& tree) {
        test::serveArchive(server, path, tree);
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
        test::makeTree(root / L"Community",
                       test::communityPackageArchive("0.9.0", {{"old.cfg", "old"}}));
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
    serve("/package.zip", test::communityPackageArchive("1.0.0", {{"new.cfg", "new"}}));
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
    using SetUp = std::function<void(CatalogComponent&)>;
    const auto answer = [&](test::ScriptedAnswer scripted) -> SetUp {
        return [&, scripted](auto&) { server.answer("/package.zip", scripted); };
    };
    const auto archive = [&](FileTree tree) -> SetUp {
        return [&, tree](auto&) { serve("/package.zip", tree); };
    };
    const std::pair<std::string, SetUp> rows[] = {
        {"The package server returned HTTP 404.", answer({.status = 404})},
        {"The package server returned HTTP 304.", answer({.status = 304})},
        {"Package extraction failed (code 1).", answer({.body = "<html>"})},
        {"The downloaded package version is 0.9.1, expected 1.0.0.",
         archive(test::communityPackageArchive("0.9.1"))},
        {"The downloaded archive does not contain the expected package folder.",
         archive({{"other/manifest.json", "{}"}})},
        {"The package URL is not a valid HTTPS address.",
         [&](auto& c) { c.downloadUrl = "http://localhost:" + std::to_string(listener.port()); }},
        {"Weapons Patch is not available for download yet.",
         [](auto& c) { c.downloadUrl.clear(); }},
        {"The built-in package definition is incomplete.",
         [](auto& c) { c.archiveFolder.clear(); }},
        {"cancelled", [&](auto&) { cancel = true; }},
    };
    for (const auto& [message, setUp] : rows) {
        SCOPED_TRACE(message);
        installOld();
        cancel = false;
        CatalogComponent component = package;
        setUp(component);
        EXPECT_EQ(failure(OperationKind::Install, component), message);
        EXPECT_EQ(version(package), "0.9.0");
        EXPECT_EQ(logged().back(), message == "cancelled" ? "cancelled velmora-weapons-patch"
                                                          : "failed: " + message);
    }
    EXPECT_FALSE(listener.connectionAttempted());
    cancel = false;
    test::makeTree(folderOf(application), {{"ORV-Camera.exe", "MZ old"}});
    serve("/app.zip", {{"ORV-Camera.exe", "MZ"}, {"orv-hub-install.json/", ""}});
    EXPECT_EQ(failure(OperationKind::Install, application),
              "unable to write the installation receipt of Camera System");
    EXPECT_EQ(test::readTree(folderOf(application)), (FileTree{{"ORV-Camera.exe", "MZ old"}}));
}

// Cancelling at each point where an install looks at the flag keeps the old version; once the
// new version is copied, activation runs to its end whatever the flag says.
TEST_F(ComponentOperation, CancellationStopsEveryPhaseButTheActivation) {
    serve("/package.zip", test::communityPackageArchive("1.0.0"));
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

// A cancel ends a download the server stalls and a tar.exe that does not progress, and takes
// the work folder with it. Wine's WinHTTP ends a pending call on a closed request only at its
// receive time-out, so the stalled download is left out there.
TEST_F(ComponentOperation, CancellationEndsAStalledDownloadAndATarThatDoesNotProgress) {
    serve("/package.zip", test::communityPackageArchive("1.0.0"));
    server.answer("/stalled.zip", {.body = "late", .delayMs = 60'000});
    const test::ScopedVariable pausedTar(L"HUB_TAR_STANDIN_PAUSE", L"1");
    for (const bool stalled : {!test::runningUnderWine(), false}) {
        cancel = stalled;
        recorder.callback = [&](double, const std::string& text) {
            cancel = cancel || text == "Extracting package";
        };
        package.downloadUrl = server.url(stalled ? "/stalled.zip" : "/package.zip");
        EXPECT_EQ(failure(OperationKind::Install, package), "cancelled");
        EXPECT_FALSE(fs::exists(root / L"Community"));
        EXPECT_FALSE(fs::exists(root / L"Downloads" / L"velmora-weapons-patch"));
    }
}

// Files of an earlier archive must never be activated with a new version.
TEST_F(ComponentOperation, AWorkFolderThatCannotBeClearedIsNeverExtractedInto) {
    const auto held = root / L"Downloads" / L"velmora-weapons-patch" / L"held.bin";
    test::makeTree(held.parent_path(), {{"held.bin", "old"}});
    const UniqueHandle open(CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_EQ(failure(OperationKind::Install, package)
                  .rfind("Unable to clear the work folder of Weapons Patch: ", 0),
              0U);
    EXPECT_FALSE(fs::exists(root / L"Community"));
}

// Only the two kinds are carried out; anything else must never fall through to a removal.
TEST_F(ComponentOperation, AnUnknownKindTouchesNothing) {
    installOld();
    EXPECT_EQ(failure(static_cast<OperationKind>(7), package),
              "The requested operation is not supported.");
    EXPECT_EQ(version(package), "0.9.0");
}

// The application's own uninstall step runs first; whatever it does is only logged, and the
// folder goes in every case. The test child stands in for the application.
TEST_F(ComponentOperation, AnUninstallRunsTheApplicationsCommandAndRemovesTheFolder) {
    const std::string started = "uninstall orv-camera from " + pathToUtf8(folderOf(application));
    const std::tuple<const wchar_t*, const char*, std::string> rows[] = {
        // arguments, the executable's content (null: the test child), the line logged about it
        {L"", nullptr, ""},
        {L"exit 1", nullptr, "uninstall command exited with code 1"},
        {L"exit 4294967295", nullptr, "uninstall command exited with code 4294967295"},
        {L"sleep 60000", nullptr, "uninstall command timed out and was stopped"},
        {L"exit 3", "not a program", "uninstall command failed: Unable to start ORV-Camera.exe: "},
    };
    for (const auto& [arguments, program, line] : rows) {
        SCOPED_TRACE(line);
        fs::remove(root / L"hub.log");
        application.application->uninstallArguments = arguments;
        const auto executable = folderOf(application) / L"ORV-Camera.exe";
        test::makeTree(folderOf(application), {{"data/x.bin", "x"}});
        program ? test::writeFile(executable, program)
                : (void)fs::copy_file(test::testProgram(L"hub_test_child.exe"), executable);
        run(OperationKind::Uninstall, application);
        EXPECT_FALSE(fs::exists(folderOf(application)));
        const auto lines = logged();
        ASSERT_EQ(lines.size(), line.empty() ? 2U : 3U);
        EXPECT_EQ(lines.front() + "|" + lines.back(), started + "|uninstalled orv-camera");
        EXPECT_EQ(lines.size() == 3 ? lines[1].substr(0, line.size()) : "", line);
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

TEST_F(ComponentOperation, TheInstalledVersionIsTheManifestsOrTheReceipts) {
    const std::tuple<const CatalogComponent*, FileTree, bool, const char*> rows[] = {
        {&package, {{"manifest.json", R"({"package_version": " 1.0.1\n"})"}}, true, "1.0.1"},
        {&package, {{"manifest.json", R"({"package_version": 1})"}}, true, ""},
        {&application,
         {{"ORV-Camera.exe", "MZ"}, {"orv-hub-install.json", R"({"version": "0.1.0"})"}},
         true,
         "0.1.0"},
        {&application, {{"ORV-Camera.exe", "MZ"}}, true, ""},
        {&application, {{"ORV-Camera.exe/", ""}, {"orv-hub-install.json", "{}"}}, false, ""},
    };
    for (const auto& [component, tree, installed, expected] : rows) {
        ASSERT_EQ(removeTree(folderOf(*component)), 0U);
        test::makeTree(folderOf(*component), tree);
        const auto state = readInstalledVersion(*component, folderOf(*component));
        EXPECT_EQ(state.installed, installed) << expected;
        EXPECT_EQ(state.version, expected);
    }
    EXPECT_FALSE(readInstalledVersion(package, root / L"missing").installed);
}

} // namespace
} // namespace hub

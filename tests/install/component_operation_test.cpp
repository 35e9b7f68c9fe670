// Installing and uninstalling end to end: download from the local HTTPS server, extraction
// with the system's tar.exe (in the test prefix, the stand-in from tests/tools/tar), staging,
// activation, the application's own uninstall command, and the activity log.
#include "install/archive_size.h"
#include "install/component_operation.h"
#include "install/download_retry.h"
#include "install/package_download.h"
#include "install/package_preparation.h"
#include "install/transfer_meter.h"

#include "harness/https_test_server.h"
#include "support/test_support.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/unique_handle.h"
#include "util/windows_error.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <winhttp.h>

namespace hub {
namespace {

namespace fs = std::filesystem;
using test::FileTree;
using test::HttpsTestServer;

const std::string top = "orvantis-aircraft-velmora-weapons/";

class ComponentOperation : public testing::Test {
protected:
    ComponentOperation() {
        package.downloadUrl = server.url("/package.zip");
        application.downloadUrl = server.url("/app.zip");
        // A stall is seen after 3 s and every pause is 1 ms, so that retries take moments.
        setDownloadTimingForTesting({3'000, {1, 1, 1, 1, 1}});
    }
    ~ComponentOperation() override { setDownloadTimingForTesting({}); }

    void serve(std::string_view path, const FileTree& tree) {
        test::serveArchive(server, path, tree);
    }
    [[nodiscard]] fs::path folderOf(const CatalogComponent& component) const {
        return installedLocation(component, community, root / L"Apps");
    }
    void run(OperationKind kind, const CatalogComponent& component) {
        runOperation({kind, component, folderOf(component), downloads, 2000}, recorder.callback,
                     cancel, log,
                     [&](const TransferFigures& figures) { transfers.push_back(figures); });
    }
    std::string failure(OperationKind kind, const CatalogComponent& component) {
        return test::failureOf([&] { run(kind, component); });
    }
    std::string download() {
        return test::failureOf(
            [&] { downloadPackage(package, archive, {.progress = recorder.callback}, cancel); });
    }
    [[nodiscard]] std::vector<std::string> logged() const {
        return test::logMessages(root / L"hub.log");
    }
    [[nodiscard]] std::string version(const CatalogComponent& component) const {
        return readInstalledVersion(component, folderOf(component)).version;
    }
    void installOld() {
        ASSERT_EQ(removeTree(folderOf(package)), 0U);
        test::makeTree(community, test::communityPackageArchive("0.9.0", {{"old.cfg", "old"}}));
    }

    test::TempFolder root;
    HttpsTestServer server;
    Catalog catalog = buildCatalog();
    CatalogComponent package = componentById(catalog, "velmora-weapons-patch");
    CatalogComponent application = componentById(catalog, "orv-camera");
    ActivityLog log{root / L"hub.log"};
    fs::path archive = root / L"package.zip";
    fs::path downloads = root / L"Downloads";
    fs::path community = root / L"Community";
    std::atomic<bool> cancel{false};
    test::ProgressRecorder recorder;
    std::vector<TransferFigures> transfers;
};

TEST_F(ComponentOperation, APackageArrivesWholeWithProgressThroughEveryPhase) {
    installOld();
    serve("/package.zip", test::communityPackageArchive("1.0.0", {{"new.cfg", "new"}}));
    run(OperationKind::Install, package);
    EXPECT_EQ(test::readTree(root / L"Community"),
              (FileTree{{top, ""},
                        {top + "manifest.json", R"({"package_version": "1.0.0"})"},
                        {top + "new.cfg", "new"}}));
    EXPECT_EQ(logged(), (std::vector<std::string>{"install velmora-weapons-patch 1.0.0 -> " +
                                                      pathToUtf8(folderOf(package)),
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
    EXPECT_EQ(version(application), "0.11.0");
    application.version = "0.12.0-beta";
    run(OperationKind::Install, application);
    EXPECT_EQ(version(application), "0.12.0-beta");
    // Without its receipt it is there in an unknown version, without its executable not at all.
    fs::remove(folderOf(application) / L"orv-hub-install.json");
    EXPECT_TRUE(readInstalledVersion(application, folderOf(application)).installed);
    EXPECT_EQ(version(application), "");
    fs::remove(folderOf(application) / L"ORV-Camera.exe");
    EXPECT_FALSE(readInstalledVersion(application, folderOf(application)).installed);
}

TEST_F(ComponentOperation, AFailedInstallKeepsTheOldVersionAndLogsTheMessage) {
    UniqueHandle held;
    using SetUp = std::function<void(CatalogComponent&)>;
    const auto answer = [&](test::ScriptedAnswer scripted) -> SetUp {
        return [&, scripted](auto&) { server.answer("/package.zip", scripted); };
    };
    const auto served = [&](FileTree tree) -> SetUp {
        return [&, tree](auto&) { serve("/package.zip", tree); };
    };
    const std::pair<std::string, SetUp> rows[] = {
        {"The package server returned HTTP 404.", answer({.status = 404})},
        {"Package extraction failed (code 1).", answer({.body = "<html>"})},
        {"The downloaded package version is 0.9.1, expected 1.0.0.",
         served(test::communityPackageArchive("0.9.1"))},
        {"The downloaded package version is unknown, expected 1.0.0.",
         served({{top + "manifest.json", "{}"}})},
        {"The downloaded archive does not contain the expected package folder.",
         served({{"other/manifest.json", "{}"}})},
        {"The downloaded application does not contain its expected executable.",
         [&](auto& c) {
             c = application;
             serve("/app.zip", {{"ORV-Camera.dll", "MZ"}});
         }},
        // Files of an earlier archive must never be activated with a new version.
        {windowsError("Unable to clear the work folder of Weapons Patch", ERROR_SHARING_VIOLATION)
             .what(),
         [&](auto&) {
             const auto file = root / L"Downloads" / L"velmora-weapons-patch" / L"held.bin";
             test::makeTree(file.parent_path(), {{"held.bin", "old"}});
             held = test::holdOpen(file);
         }},
        {"The package URL is not a valid HTTPS address.",
         [](auto& c) { c.downloadUrl = "http://localhost:1/package.zip"; }},
        {"Weapons Patch is not available for download yet.",
         [](auto& c) { c.downloadUrl.clear(); }},
        {"The built-in package definition is incomplete.",
         [](auto& c) { c.archiveFolder.clear(); }},
    };
    for (const auto& [message, setUp] : rows) {
        SCOPED_TRACE(message);
        installOld();
        held.reset();
        CatalogComponent component = package;
        setUp(component);
        EXPECT_EQ(failure(OperationKind::Install, component), message);
        EXPECT_EQ(version(package), "0.9.0");
        EXPECT_EQ(logged().back(), "failed: " + message);
        EXPECT_EQ(fs::exists(root / L"Downloads" / L"velmora-weapons-patch"),
                  message.starts_with("Unable to clear"))
            << "the work folder goes with a failure";
    }
    test::makeTree(folderOf(application), {{"ORV-Camera.exe", "MZ old"}});
    serve("/app.zip", {{"ORV-Camera.exe", "MZ"}, {"orv-hub-install.json/", ""}});
    EXPECT_EQ(failure(OperationKind::Install, application),
              "unable to write the installation receipt of Camera System");
    EXPECT_EQ(test::readTree(folderOf(application)), (FileTree{{"ORV-Camera.exe", "MZ old"}}));
}

// Cancelling at each point where an install looks at the flag (also a pause before another
// attempt) keeps the old version and takes the work folder with it; once the new version is copied,
// activation runs to its end whatever the flag says. The cancel ends a tar.exe that does not
// progress and a download the server stalls (the first row); Wine's WinHTTP ends a pending call on
// a closed request only at its receive time-out, so that row is left out there.
TEST_F(ComponentOperation, CancellationStopsEveryPhaseButTheActivation) {
    serve("/package.zip", test::communityPackageArchive("1.0.0"));
    server.answer("/stalled.zip", {.body = "late", .delayMs = 60'000});
    const std::string pause = "Connection lost. Retrying in 1 s (attempt 1 of 5)\xE2\x80\xA6";
    server.answer("/dropped.zip", {.body = test::zipArchive(test::communityPackageArchive("1.0.0")),
                                   .cutAfter = 100});
    for (const std::string phase :
         {"", "Downloading package", pause.c_str(), "Extracting package", "Preparing files",
          "Copying files", "Activating the new version"}) {
        if (phase.empty() && test::runningUnderWine()) {
            continue;
        }
        SCOPED_TRACE(phase);
        installOld();
        cancel = phase.empty();
        package.downloadUrl = server.url(phase.empty()    ? "/stalled.zip"
                                         : phase == pause ? "/dropped.zip"
                                                          : "/package.zip");
        std::optional<test::ScopedVariable> pausedTar;
        if (phase == "Extracting package") {
            pausedTar.emplace(L"HUB_TAR_STANDIN_PAUSE", L"1");
        }
        recorder.callback = [&](double, const std::string& text) {
            cancel = cancel || text == phase;
        };
        const bool activated = phase == "Activating the new version";
        EXPECT_EQ(failure(OperationKind::Install, package), activated ? "no failure" : "cancelled");
        EXPECT_EQ(version(package), activated ? "1.0.0" : "0.9.0");
        EXPECT_EQ(logged().back(), activated ? "installed velmora-weapons-patch 1.0.0"
                                             : "cancelled velmora-weapons-patch");
        EXPECT_FALSE(fs::exists(root / L"Downloads" / L"velmora-weapons-patch"));
    }
}

// The application's own uninstall step runs first; whatever it does is only logged, and the
// folder goes in every case. The test child stands in for the application.
TEST_F(ComponentOperation, AnUninstallRunsTheApplicationsCommandAndRemovesTheFolder) {
    const std::string started = "uninstall orv-camera from " + pathToUtf8(folderOf(application));
    const std::tuple<const wchar_t*, const char*, std::string> rows[] = {
        // arguments, the executable's content (null: the test child), the line logged about it
        {L"", nullptr, ""},
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

// An unknown kind must never fall through to a removal. A folder name that is no plain name, or
// a parent that is not absolute, gives no location: an uninstall would reach outside.
TEST_F(ComponentOperation, AnUnknownKindOrAMissingFolderTouchesNothing) {
    installOld();
    EXPECT_EQ(failure(static_cast<OperationKind>(7), package),
              "The requested operation is not supported.");
    for (const char* name : {"", "..", ".", "a\\b", "a/b", "C:x"}) {
        SCOPED_TRACE(name);
        package.folderName = name;
        EXPECT_EQ(folderOf(package), fs::path());
        EXPECT_EQ(failure(OperationKind::Uninstall, package),
                  "No installation folder is available for Weapons Patch.");
    }
    // The id names the work folder that is deleted whole; the archive folder is moved into place.
    for (const auto& rename : {+[](CatalogComponent& c) { c.id = ".."; },
                               +[](CatalogComponent& c) { c.archiveFolder = L".."; }}) {
        CatalogComponent component = componentById(catalog, "velmora-weapons-patch");
        rename(component);
        EXPECT_EQ(failure(OperationKind::Install, component),
                  "Weapons Patch cannot be installed: its package definition is not valid.");
    }
    EXPECT_EQ(installedLocation(application, L"D:\\C", L"A"), fs::path());
    EXPECT_EQ(installedLocation(application, L"C", L"D:\\A"), L"D:\\A\\Orvantis.CameraSystem");
    EXPECT_EQ(version(componentById(catalog, "velmora-weapons-patch")), "0.9.0");
    EXPECT_FALSE(fs::exists(root / L"hub.log"));
}

TEST_F(ComponentOperation, PackageDownloadAsksForTheVersionAndStreamsTheBodyUntilCancelled) {
    // The address, the version asked for, the requests the server sees (checksum, package).
    const std::tuple<const char*, const char*, const char*, const char*> rows[] = {
        {"/p.zip", "1.0.0", "/p.zip.sha256?v=1.0.0", "/p.zip?v=1.0.0"},
        {"/p.zip?channel=beta", "1.0 beta+2", "/p.zip.sha256?channel=beta&v=1.0%20beta%2B2",
         "/p.zip?channel=beta&v=1.0%20beta%2B2"},
        {"/p.zip", "v1~\xC3\xA9/&", "/p.zip.sha256?v=v1%7E%C3%A9%2F%26",
         "/p.zip?v=v1%7E%C3%A9%2F%26"},
        {"/p.zip", "", "/p.zip.sha256", "/p.zip"},
    };
    server.answer("/p.zip", {.generatedSize = 1'000'000});
    for (const auto& [path, asked, checksum, target] : rows) {
        package.downloadUrl = server.url(path);
        package.version = asked;
        recorder.reports.clear();
        EXPECT_EQ(download(), "no failure");
        EXPECT_EQ(server.requests().end()[-2].target, checksum);
        EXPECT_EQ(server.requests().back().target, target);
        EXPECT_EQ(server.requests().back().headers.at("user-agent"), "Orvantis Hub");
    }
    EXPECT_EQ(fs::file_size(archive), 1'000'000U);
    EXPECT_EQ(recorder.phases(), std::vector<std::string>{"Downloading package"});
    EXPECT_DOUBLE_EQ(recorder.reports.back().first, 0.4);
    recorder.reports.clear();
    server.answer("/p.zip", {.generatedSize = 200'000, .omitLength = true});
    EXPECT_EQ(download(), "no failure");
    EXPECT_EQ(fs::file_size(archive), 200'000U);
    EXPECT_EQ(recorder.reports.front().first, -1.0) << "no length: indeterminate";
    server.answer("/p.zip", {.generatedSize = 5'000'000});
    recorder.callback = [&](double, const std::string&) { cancel = true; };
    EXPECT_EQ(download(), "cancelled");
    EXPECT_LT(fs::file_size(archive), 5'000'000U) << "seen after a chunk";
}

// The 2 GiB limit: exactly the limit passes, and its short body then fails on its own.
TEST_F(ComponentOperation, PackageDownloadRefusesWhatCannotBeAPackage) {
    package.downloadUrl = server.url("/p.zip");
    package.version.clear();
    const std::string tooLarge = "The package is too large to download safely.";
    const std::string interrupted = "The package download was interrupted: ";
    const std::pair<test::ScriptedAnswer, std::string> rows[] = {
        {{.body = "PK", .declaredLength = 2'147'483'649}, tooLarge},
        {{.body = "PK", .declaredLength = 2'147'483'648}, interrupted},
        {{.status = 204}, "The downloaded package is empty."},
        {{.generatedSize = 500'000, .cutAfter = 200'000}, interrupted},
    };
    for (const auto& [answer, failure] : rows) {
        SCOPED_TRACE(failure);
        fs::remove(archive);
        server.answer("/p.zip", answer);
        EXPECT_EQ(download().substr(0, failure.size()), failure);
        EXPECT_EQ(fs::exists(archive), failure != tooLarge) << "refused before the file is made";
    }
    package.downloadUrl = "https://localhost:1/p.zip";
    EXPECT_EQ(download().rfind("Unable to download Weapons Patch: ", 0), 0U);
    package.downloadUrl = server.url("/p.zip");
    archive = root / L"missing" / L"package.zip";
    EXPECT_EQ(download(), "Unable to create the temporary package file.");
}

// The extraction's own failures; the work folder of an earlier attempt never leaks into the
// next one. Paths with blanks or a trailing backslash reach tar as one argument each.
TEST_F(ComponentOperation, PackagePreparationUnpacksIntoAFreshWorkFolder) {
    package.downloadUrl = server.url("/p.zip");
    downloads = root / L"Down loads";
    const auto work = downloads / L"velmora-weapons-patch";
    test::makeTree(work, {{"extracted/stale.txt", "from an earlier attempt"}});
    const auto files = test::communityPackageArchive(
        "1.0.0", {{"na\xC3\xAFve/\xE2\x9C\x88.bin", std::string(70'000, 'b')}});
    test::writeZip(root / L"a.zip", files, {test::ZipMethod::Deflated, true});
    server.answer("/p.zip", {.file = root / L"a.zip"});
    const auto prepared = preparePackage(package, downloads, {}, {}, cancel);
    EXPECT_EQ(prepared.contentFolder, work / L"extracted" / L"orvantis-aircraft-velmora-weapons");
    test::makeTree(root / L"expected", files);
    EXPECT_EQ(test::readTree(work / L"extracted"), test::readTree(root / L"expected"));
    fs::create_directories(root / L"out");
    extractArchive(root / L"a.zip", (root / L"out").native() + L"\\");
    EXPECT_EQ(test::readTree(root / L"out"), test::readTree(root / L"expected"));
    EXPECT_EQ(
        test::failureOf([&] { extractArchive(work / L"package.zip", work / L"extracted", 0); }),
        "Package extraction timed out.");
    EXPECT_EQ(test::failureOf([&] { (void)tarPathIn(root.path()); }),
              "Windows archive support (tar.exe) is not available.");
}

TEST(TransferMeter, AveragesTheLastThreeSecondsAndForgetsARestart) {
    using namespace std::chrono_literals;
    TransferMeter meter;
    const TransferMeter::Clock::time_point start{};
    EXPECT_EQ(meter.measure(0, 1000, start), (TransferFigures{0, 1000, 0, -1}));
    EXPECT_EQ(meter.measure(100, 1000, start + 1s), (TransferFigures{100, 1000, 100, 9}));
    EXPECT_EQ(meter.measure(400, 1000, start + 2s), (TransferFigures{400, 1000, 200, 3}));
    EXPECT_EQ(meter.measure(700, 1000, start + 5s), (TransferFigures{700, 1000, 100, 3}));
    EXPECT_EQ(meter.measure(50, -1, start + 6s), (TransferFigures{50, -1, 0, -1}));
}

// A central directory with ZIP64 records: the end record's fields escaped, and an entry whose
// 5 GiB size is only in its ZIP64 extra field.
TEST(ArchiveSize, ReadsTheCentralDirectoryWithItsZip64Records) {
    using namespace std::string_literals;
    const test::TempFolder folder;
    test::writeFile(
        folder / L"a.zip",
        "\x50\x4b\x01\x02\x2d\x00\x2d\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
        "\x00\x00"
        "\xff\xff\xff\xff\x07\x00\x0c\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
        "big.bin"
        "\x01\x00\x08\x00\x00\x00\x00\x40\x01\x00\x00\x00"
        "\x50\x4b\x01\x02\x2d\x00\x2d\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
        "\x00\x00"
        "\x03\x00\x00\x00\x09\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
        "small.txt"
        "\x50\x4b\x06\x06\x2c\x00\x00\x00\x00\x00\x00\x00\x2d\x00\x2d\x00\x00\x00\x00\x00\x00\x00"
        "\x00\x00"
        "\x02\x00\x00\x00\x00\x00\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x78\x00\x00\x00\x00\x00"
        "\x00\x00"
        "\x00\x00\x00\x00\x00\x00\x00\x00"
        "\x50\x4b\x06\x07\x00\x00\x00\x00\x78\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00"
        "\x50\x4b\x05\x06\x00\x00\x00\x00\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\x00\x00"s);
    EXPECT_EQ(unpackedSize(folder / L"a.zip"), std::optional<std::uint64_t>{(5ULL << 30) + 3});
    test::writeFile(folder / L"b.zip", "<html>");
    EXPECT_EQ(unpackedSize(folder / L"b.zip"), std::nullopt);
}

// What the server does, and what the install ends with. A dropped, stalled or refused resume
// takes the whole body once in all; only a 200 of at most 1 KiB that starts with 64 hex digits
// is a checksum, and anything else installs unchecked with one log line saying so.
TEST_F(ComponentOperation, AnInstallSurvivesDropsStallsAndBadChecksumsAndChecksSpaceOnAFullDisk) {
    const auto archiveBytes = test::zipArchive(
        test::communityPackageArchive("1.0.0", {{"data.bin", std::string(300'000, 'd')}}),
        {test::ZipMethod::Stored});
    const std::uint64_t size = archiveBytes.size();
    const std::uint64_t cut = size * 4 / 10;
    const std::string resume = "bytes=" + std::to_string(cut) + "- if \"a\"";
    const auto from = [&](std::uint64_t tenths) {
        return "bytes=" + std::to_string(tenths * (size / 10)) + "- if \"a\"";
    };
    const std::vector<std::string> etag = {R"("a")"};
    const std::string damaged =
        "The downloaded package of Weapons Patch is damaged. Try again later.";
    const bool ramDisk = fs::exists(L"T:\\");
    const auto unpackedFiveMiB = test::zipArchive(
        test::communityPackageArchive("1.0.0", {{"zeros.bin", std::string(5 << 20, 0)}}));
    struct Row {
        const char* name;
        test::ScriptedAnswer package;
        std::optional<test::ScriptedAnswer> sidecar; // none: 404
        std::vector<std::string> ranges;             // each package request's Range and If-Range
        std::string failure = "no failure";
        std::wstring onRamDisk = {}; // "Downloads" or "Community": that folder is on T:
    };
    const Row rows[] = {
        {"drop after 40 % with ETag and ranges, sidecar right",
         {.cutAfter = cut, .faults = 1, .etags = etag, .ranges = true, .sidecar = true},
         {},
         {"", resume}},
        {"ranges ignored", {.cutAfter = cut, .faults = 1, .etags = etag}, {}, {"", resume}},
        {"ETag changed between tries",
         {.cutAfter = cut, .faults = 1, .etags = {R"("a")", R"("b")"}, .ranges = true},
         {},
         {"", resume}},
        {"Last-Modified instead of an ETag",
         {.cutAfter = cut,
          .faults = 1,
          .lastModified = "Tue, 01 Dec 2026 10:00:00 GMT",
          .ranges = true},
         {},
         {"", "bytes=" + std::to_string(cut) + "- if Tue, 01 Dec 2026 10:00:00 GMT"}},
        {"no validator: starts over", {.cutAfter = cut, .faults = 1, .ranges = true}, {}, {"", ""}},
        {"weak ETag: Last-Modified names the range",
         {.cutAfter = cut,
          .faults = 1,
          .etags = {R"(W/"a")"},
          .lastModified = "Tue, 01 Dec 2026 10:00:00 GMT",
          .ranges = true},
         {},
         {"", "bytes=" + std::to_string(cut) + "- if Tue, 01 Dec 2026 10:00:00 GMT"}},
        // Wine's WinHTTP drops what a read that times out had taken: the stall comes at a
        // read's end.
        {"stall of 60 s",
         {.cutAfter = 65'536, .stallMs = 60'000, .faults = 1, .etags = etag, .ranges = true},
         {},
         {"", "bytes=65536- if \"a\""}},
        {"five drops",
         {.cutAfter = size / 10, .etags = etag, .ranges = true},
         {},
         {"", from(1), from(2), from(3), from(4), from(5)},
         windowsError("The package download was interrupted", ERROR_WINHTTP_CONNECTION_ERROR)
             .what()},
        {"sidecar wrong", {}, test::ScriptedAnswer{.body = std::string(64, 'F')}, {""}, damaged},
        {"sidecar a web page", {}, test::ScriptedAnswer{.body = "<!DOCTYPE html>"}, {""}},
        {"sidecar oversized",
         {},
         test::ScriptedAnswer{.body = std::string(64, 'F') + std::string(1000, ' ')},
         {""}},
        {"too little space before download",
         {.declaredLength = 3 << 20},
         {},
         {""},
         "Not enough disk space on T:\\ to install Weapons Patch: 6.0 MB needed, ",
         L"Downloads"},
        {"too little space before extraction",
         {.body = unpackedFiveMiB},
         {},
         {""},
         "Not enough disk space on T:\\ to install Weapons Patch: 5.0 MB needed, ",
         L"Downloads"},
        {"too little space for the copy to the Community folder's volume",
         {.body = unpackedFiveMiB},
         {},
         {""},
         "Not enough disk space on T:\\ to install Weapons Patch: 5.0 MB needed, ",
         L"Community"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (!row.onRamDisk.empty() && !ramDisk) {
            continue; // said at the end
        }
        downloads = row.onRamDisk == L"Downloads" ? L"T:\\Downloads" : root / L"Downloads";
        community = row.onRamDisk == L"Community" ? L"T:\\Community" : root / L"Community";
        installOld();
        fs::remove(root / L"hub.log");
        recorder.reports.clear();
        transfers.clear();
        test::HttpsTestServer session;
        package.downloadUrl = session.url("/package.zip");
        test::ScriptedAnswer answer = row.package;
        if (answer.body.empty()) {
            answer.body = archiveBytes;
        }
        session.answer("/package.zip", answer);
        if (row.sidecar) {
            session.answer("/package.zip.sha256", *row.sidecar);
        }
        const auto message = failure(OperationKind::Install, package);
        EXPECT_EQ(message.substr(0, row.failure.size()), row.failure) << message;
        EXPECT_EQ(version(package), row.failure == "no failure" ? "1.0.0" : "0.9.0");
        EXPECT_FALSE(fs::exists(downloads / L"velmora-weapons-patch"));
        std::vector<std::string> ranges;
        for (const auto& request : session.requests()) {
            if (request.target.starts_with("/package.zip?")) {
                const auto& headers = request.headers;
                ranges.push_back(headers.contains("range")
                                     ? headers.at("range") + " if " + headers.at("if-range")
                                     : "");
            }
        }
        EXPECT_EQ(ranges, row.ranges);
        const auto retries =
            std::count_if(recorder.reports.begin(), recorder.reports.end(), [](const auto& report) {
                return report.second.starts_with("Connection lost.");
            });
        EXPECT_EQ(retries, static_cast<std::ptrdiff_t>(ranges.size()) - 1);
        const auto lines = logged();
        EXPECT_EQ(
            std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) { return line.starts_with("no checksum"); }),
            row.package.sidecar || row.failure == damaged ? 0 : 1);
        if (row.failure == "no failure") {
            ASSERT_GE(transfers.size(), 2U);
            EXPECT_EQ(transfers.back(), TransferFigures{}) << "idle once the download ends";
            const auto& last = transfers[transfers.size() - 2];
            EXPECT_EQ(last.bytesDone, static_cast<std::int64_t>(size));
            EXPECT_EQ(last.bytesTotal, static_cast<std::int64_t>(size));
        }
    }
    fs::remove_all(L"T:\\Community");
    if (!ramDisk) {
        GTEST_SKIP() << "the rows of too little space need the RAM disk mapped as T: (mounting "
                        "needs root); the other rows ran";
    }
}

} // namespace
} // namespace hub

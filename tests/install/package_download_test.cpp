// Fetching a package archive and unpacking it with the system's tar.exe (in the test prefix, the
// stand-in from tests/tools/tar).
#include "install/package_download.h"
#include "install/package_preparation.h"

#include "harness/https_test_server.h"
#include "support/test_support.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

namespace fs = std::filesystem;
using test::HttpsTestServer;

class PackageDownload : public testing::Test {
protected:
    std::string download() {
        return test::failureOf(
            [&] { downloadPackage(component, archive, recorder.callback, cancel); });
    }

    test::TempFolder root;
    HttpsTestServer server;
    CatalogComponent component = componentById(buildCatalog(), "velmora-weapons-patch");
    fs::path archive = root / L"package.zip";
    std::atomic<bool> cancel{false};
    test::ProgressRecorder recorder;
};

TEST_F(PackageDownload, AsksForTheVersionAndStreamsTheBodyWithProgress) {
    const struct {
        const char* path;
        const char* version;
        const char* target;
    } rows[] = {
        {"/p.zip", "1.0.0", "/p.zip?v=1.0.0"},
        {"/p.zip?channel=beta", "1.0 beta+2", "/p.zip?channel=beta&v=1.0%20beta%2B2"},
        {"/p.zip", "v1~\xC3\xA9/&", "/p.zip?v=v1%7E%C3%A9%2F%26"},
        {"/p.zip", "", "/p.zip"},
    };
    server.answer("/p.zip", {.generatedSize = 1'000'000});
    for (const auto& row : rows) {
        component.downloadUrl = server.url(row.path);
        component.version = row.version;
        recorder.reports.clear();
        EXPECT_EQ(download(), "no failure");
        EXPECT_EQ(server.requests().back().target, row.target);
        EXPECT_EQ(server.requests().back().headers.at("user-agent"), "Orvantis Hub");
    }
    const std::string content = test::readFile(archive);
    ASSERT_EQ(content.size(), 1'000'000U);
    for (std::uint64_t index = 0; index < content.size(); index += 9973) {
        ASSERT_EQ(content[index], HttpsTestServer::patternByte(index)) << index;
    }
    double previous = 0.0;
    for (const auto& [fraction, text] : recorder.reports) {
        EXPECT_EQ(text, "Downloading package");
        EXPECT_GT(fraction, previous);
        previous = fraction;
    }
    EXPECT_DOUBLE_EQ(previous, 0.4);
    recorder.reports.clear();
    server.answer("/p.zip", {.generatedSize = 200'000, .omitLength = true});
    EXPECT_EQ(download(), "no failure");
    EXPECT_EQ(fs::file_size(archive), 200'000U);
    EXPECT_EQ(recorder.phases(), std::vector<std::string>{"Downloading package"});
    EXPECT_EQ(recorder.reports.front().first, -1.0) << "no length: indeterminate";
}

// The 2 GiB limit: an announced length above it is refused before the file is made, exactly
// the limit passes (and the short body then fails on its own).
TEST_F(PackageDownload, RefusesWhatCannotBeAPackage) {
    component.downloadUrl = server.url("/p.zip");
    component.version.clear();
    const std::string tooLarge = "The package is too large to download safely.";
    const struct {
        test::ScriptedAnswer answer;
        std::string failure; // its start
        bool fileMade;
    } rows[] = {
        {{.body = "PK", .declaredLength = 2'147'483'649}, tooLarge, false},
        {{.status = 204}, "The downloaded package is empty.", true},
        {{.body = "", .omitLength = true}, "The downloaded package is empty.", true},
        {{.generatedSize = 500'000, .cutAfter = 200'000},
         "The package download was interrupted: ",
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.failure);
        fs::remove(archive);
        server.answer("/p.zip", row.answer);
        EXPECT_EQ(download().substr(0, row.failure.size()), row.failure);
        EXPECT_EQ(fs::exists(archive), row.fileMade);
    }
    server.answer("/p.zip", {.body = "PK", .declaredLength = 2'147'483'648});
    EXPECT_NE(download(), tooLarge) << "exactly the limit passes";
    EXPECT_TRUE(fs::exists(archive));
    component.downloadUrl = "https://localhost:1/p.zip";
    EXPECT_EQ(download().rfind("Unable to download Weapons Patch: ", 0), 0U);
    component.downloadUrl = server.url("/p.zip");
    archive = root / L"missing" / L"package.zip";
    EXPECT_EQ(download(), "Unable to create the temporary package file.");
}

TEST_F(PackageDownload, CancellationIsSeenBeforeTheFirstReadAndAfterEachChunk) {
    server.answer("/p.zip", {.generatedSize = 5'000'000});
    component.downloadUrl = server.url("/p.zip");
    cancel = true;
    EXPECT_EQ(download(), "cancelled");
    EXPECT_FALSE(fs::exists(archive) && fs::file_size(archive) > 0) << "nothing received";
    cancel = false;
    recorder.callback = [&](double, const std::string&) { cancel = true; };
    EXPECT_EQ(download(), "cancelled");
    EXPECT_LT(fs::file_size(archive), 5'000'000U);
}

// The extraction's own failures; the work folder of an earlier attempt never leaks into the
// next one. Paths with blanks reach tar as one argument each.
TEST_F(PackageDownload, PreparationUnpacksIntoAFreshWorkFolder) {
    component.downloadUrl = server.url("/p.zip");
    const auto downloads = root / L"Down loads";
    const auto work = downloads / L"velmora-weapons-patch";
    test::makeTree(work, {{"extracted/stale.txt", "from an earlier attempt"}});
    const test::FileTree files{
        {"orvantis-aircraft-velmora-weapons/manifest.json", R"({"package_version": "1.0.0"})"},
        {"orvantis-aircraft-velmora-weapons/na\xC3\xAFve/\xE2\x9C\x88.bin",
         std::string(70'000, 'b')}};
    for (const auto method : {test::ZipMethod::Stored, test::ZipMethod::Deflated}) {
        test::writeZip(root / L"a.zip", files, {method, true});
        server.answer("/p.zip", {.file = root / L"a.zip"});
        const auto prepared = preparePackage(component, downloads, {}, cancel);
        EXPECT_EQ(prepared.contentFolder,
                  work / L"extracted" / L"orvantis-aircraft-velmora-weapons");
        test::makeTree(root / L"expected", files);
        EXPECT_EQ(test::readTree(work / L"extracted"), test::readTree(root / L"expected"));
    }
    EXPECT_EQ(
        test::failureOf([&] { extractArchive(work / L"package.zip", work / L"extracted", 0); }),
        "Package extraction timed out.");
    EXPECT_EQ(test::failureOf([&] { (void)tarPathIn(root.path()); }),
              "Windows archive support (tar.exe) is not available.");
}

} // namespace
} // namespace hub

#include "install/package_download.h"

#include "install/operation_cancelled.h"
#include "install_test_support.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

namespace fs = std::filesystem;
using test::HttpsTestServer;
using Report = test::ProgressReport;

class PackageDownload : public test::OperationTest {
protected:
    PackageDownload() { component = test::builtInComponent(test::communityPackageId, url()); }

    [[nodiscard]] std::string url(std::string_view path = "/p.zip") const {
        return server.url(path);
    }

    void download() { downloadPackage(component, archive, progress, cancel); }
    std::string downloadError() {
        return test::failureOf([&] { download(); });
    }

    HttpsTestServer server;
    CatalogComponent component;
    fs::path archive = root / L"package.zip";
};

TEST_F(PackageDownload, RequestsTheCatalogVersionAsPercentEncodedQuery) {
    const struct {
        const char* path;
        const char* version;
        const char* target;
    } cases[] = {
        {"/p.zip", "1.0.0", "/p.zip?v=1.0.0"},
        {"/p.zip?channel=beta", "1.0.0", "/p.zip?channel=beta&v=1.0.0"},
        {"/p.zip", "1.0 beta+2", "/p.zip?v=1.0%20beta%2B2"},
        {"/p.zip", "v1~\xC3\xA9", "/p.zip?v=v1%7E%C3%A9"},
        {"/p.zip", "", "/p.zip"},
    };
    server.answer("/p.zip", {.body = "PK"});
    for (const auto& [path, version, target] : cases) {
        component.downloadUrl = url(path);
        component.version = version;
        download();
    }
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), std::size(cases));
    for (std::size_t index = 0; index < requests.size(); ++index) {
        EXPECT_EQ(requests[index].target, cases[index].target);
        EXPECT_EQ(requests[index].headers.at("user-agent"), "Orvantis Hub");
    }
}

TEST_F(PackageDownload, StreamsTheBodyIntoTheFileWithProgressUpToFourTenths) {
    constexpr std::uint64_t size = 1'000'000;
    server.answer("/p.zip", {.generatedSize = size});
    download();
    const std::string content = test::readFile(archive);
    ASSERT_EQ(content.size(), size);
    for (std::uint64_t index = 0; index < size; index += 9973) {
        ASSERT_EQ(content[index], HttpsTestServer::patternByte(index)) << index;
    }
    ASSERT_GE(reports.size(), 2u);
    double previous = 0.0;
    for (const auto& [fraction, text] : reports) {
        EXPECT_EQ(text, "Downloading package");
        EXPECT_GT(fraction, previous);
        EXPECT_LE(fraction, 0.4);
        previous = fraction;
    }
    EXPECT_DOUBLE_EQ(reports.back().first, 0.4);
}

TEST_F(PackageDownload, ABodyWithoutLengthStillArrivesWithIndeterminateProgress) {
    server.answer("/p.zip", {.generatedSize = 200'000, .omitLength = true});
    download();
    EXPECT_EQ(fs::file_size(archive), 200'000u);
    ASSERT_FALSE(reports.empty());
    for (const auto& report : reports) {
        EXPECT_EQ(report, Report(-1.0, "Downloading package"));
    }
}

TEST_F(PackageDownload, AStatusOutside2xxIsReportedWithItsCode) {
    for (const int status : {304, 404, 500}) {
        server.answer("/p.zip", {.status = status, .body = "nope"});
        EXPECT_EQ(downloadError(),
                  "The package server returned HTTP " + std::to_string(status) + ".");
    }
    server.answer("/p.zip", {.status = 204});
    EXPECT_EQ(downloadError(), "The downloaded package is empty.");
}

TEST_F(PackageDownload, AnAnnouncedLengthAboveTwoGibibytesIsRefusedBeforeTheBody) {
    server.answer("/p.zip", {.body = "PK", .declaredLength = 2'147'483'649});
    EXPECT_EQ(downloadError(), "The package is too large to download safely.");
    EXPECT_FALSE(fs::exists(archive)) << "refused before the file is made";
}

// The server announces exactly the limit but sends only a few bytes: the limit itself passes,
// and what follows is the short body's own outcome.
TEST_F(PackageDownload, AnAnnouncedLengthOfExactlyTwoGibibytesIsAccepted) {
    server.answer("/p.zip", {.body = "PK\x03\x04", .declaredLength = 2'147'483'648});
    const std::string error = downloadError();
    EXPECT_EQ(error.find("too large"), std::string::npos) << error;
    EXPECT_TRUE(fs::exists(archive));
}

TEST_F(PackageDownload, AnEmptyBodyIsRefused) {
    server.answer("/p.zip", {.body = ""});
    EXPECT_EQ(downloadError(), "The downloaded package is empty.");
    server.answer("/p.zip", {.body = "", .omitLength = true});
    EXPECT_EQ(downloadError(), "The downloaded package is empty.");
}

TEST_F(PackageDownload, ABodyCutOffMidwayIsAnInterruptedDownload) {
    server.answer("/p.zip", {.generatedSize = 500'000, .cutAfter = 200'000});
    const std::string error = downloadError();
    EXPECT_EQ(error.rfind("The package download was interrupted: ", 0), 0u) << error;
}

TEST_F(PackageDownload, CancellationIsSeenBeforeTheFirstRead) {
    server.answer("/p.zip", {.generatedSize = 100'000});
    cancel = true;
    EXPECT_THROW(download(), OperationCancelled);
    EXPECT_TRUE(!fs::exists(archive) || fs::file_size(archive) == 0u) << "nothing received";
    EXPECT_TRUE(reports.empty());
}

TEST_F(PackageDownload, CancellationIsSeenAfterEachChunk) {
    server.answer("/p.zip", {.generatedSize = 5'000'000});
    progress = [this](double fraction, const std::string& text) {
        reports.emplace_back(fraction, text);
        cancel = true;
    };
    EXPECT_THROW(download(), OperationCancelled);
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_LT(fs::file_size(archive), 5'000'000u);
}

TEST_F(PackageDownload, AServerThatCannotBeReachedFailsNamingTheComponent) {
    component.downloadUrl = "https://localhost:1/p.zip";
    const std::string error = downloadError();
    EXPECT_EQ(error.rfind("Unable to download Weapons Patch: ", 0), 0u) << error;
}

TEST_F(PackageDownload, AnArchiveFileThatCannotBeCreatedFails) {
    server.answer("/p.zip", {.body = "PK"});
    archive = root / L"missing" / L"package.zip";
    EXPECT_EQ(downloadError(), "Unable to create the temporary package file.");
}

} // namespace
} // namespace hub

// Extraction through the system tar.exe; in the test prefix that is the stand-in from
// tests/tools/tar, which must behave like the real tool for everything checked here.
#include "install/package_preparation.h"

#include "install_test_support.h"
#include "support/test_files.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

using test::ZipMethod;

const test::FileTree sampleTree{
    {"pkg/", ""},
    {"pkg/manifest.json", R"({"package_version": "1.0.0"})"},
    {"pkg/empty.bin", ""},
    {"pkg/deep/", ""},
    {"pkg/deep/er/", ""},
    {"pkg/deep/er/data.bin", std::string(1'500'000, 'a') + std::string(70'000, 'b')},
    {"pkg/empty folder/", ""},
    {"pkg/na\xC3\xAFve \xE2\x9C\x88.txt", "unicode name"},
};

class ArchiveExtraction : public testing::Test {
protected:
    std::filesystem::path archive() const { return work_ / L"package.zip"; }
    std::filesystem::path extracted() const { return work_ / L"extracted"; }

    void extract() {
        std::filesystem::create_directories(extracted());
        extractArchive(archive(), extracted());
    }

    std::string extractionError() {
        std::filesystem::create_directories(extracted());
        return test::failureOf([&] { extractArchive(archive(), extracted()); });
    }

    // Overwrites the first occurrence of `from` in the archive's bytes.
    void patchArchive(const std::string& from, const std::string& to) {
        std::string bytes = test::readFile(archive());
        const auto at = bytes.find(from);
        ASSERT_NE(at, std::string::npos);
        bytes.replace(at, from.size(), to);
        test::writeFile(archive(), bytes);
    }

    test::TempFolder work_;
};

TEST_F(ArchiveExtraction, UnpacksStoredAndDeflatedEntriesWithAndWithoutDataDescriptors) {
    const test::ZipEntryOptions variants[] = {
        {ZipMethod::Stored, false},
        {ZipMethod::Stored, true},
        {ZipMethod::Deflated, false},
        {ZipMethod::Deflated, true},
    };
    for (const auto& options : variants) {
        test::writeZip(archive(), sampleTree, options);
        extract();
        EXPECT_EQ(test::readTree(extracted()), sampleTree)
            << "method " << static_cast<int>(options.method) << ", descriptor "
            << options.dataDescriptor;
        std::filesystem::remove_all(extracted());
    }
}

TEST_F(ArchiveExtraction, PathsWithSpacesAreQuoted) {
    const test::FileTree tree{{"a.txt", "a"}};
    const auto folder = work_ / L"with blanks" / L"extracted here";
    std::filesystem::create_directories(folder);
    test::writeZip(work_ / L"with blanks" / L"the package.zip", tree);
    extractArchive(work_ / L"with blanks" / L"the package.zip", folder);
    EXPECT_EQ(test::readTree(folder), tree);
}

TEST_F(ArchiveExtraction, ADamagedEntryFailsWithTheToolsExitCode) {
    test::writeZip(archive(), {{"a.txt", "original content"}}, {ZipMethod::Stored, false});
    patchArchive("original content", "tampered content");
    EXPECT_EQ(extractionError(), "Package extraction failed (code 1).");
}

TEST_F(ArchiveExtraction, DamagedCompressedDataFails) {
    test::writeZip(archive(), {{"a.txt", std::string(10'000, 'z')}});
    std::string bytes = test::readFile(archive());
    bytes[40] = static_cast<char>(bytes[40] ^ 0x5A); // inside the deflated data
    test::writeFile(archive(), bytes);
    EXPECT_EQ(extractionError(), "Package extraction failed (code 1).");
}

TEST_F(ArchiveExtraction, ATruncatedOrForeignFileFails) {
    test::writeZip(archive(), sampleTree);
    const std::string bytes = test::readFile(archive());
    test::writeFile(archive(), bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(extractionError(), "Package extraction failed (code 1).");
    test::writeFile(archive(), "<html>Not found</html>");
    EXPECT_EQ(extractionError(), "Package extraction failed (code 1).");
}

TEST_F(ArchiveExtraction, AMissingArchiveFails) {
    EXPECT_EQ(extractionError(), "Package extraction failed (code 1).");
}

// Like the real tool, entries that would land outside the folder are refused; the stand-in
// checks every name before it writes anything.
TEST_F(ArchiveExtraction, EntriesLeavingTheFolderAreRefused) {
    const char* names[] = {"../escaped.txt", "pkg/../../escaped.txt", "/rooted.txt", "C:/drive.txt",
                           "C:drive.txt"};
    for (const char* name : names) {
        test::writeZip(archive(), {{"first.txt", "x"}, {name, "evil"}});
        EXPECT_EQ(extractionError(), "Package extraction failed (code 1).") << name;
        EXPECT_FALSE(std::filesystem::exists(work_ / L"escaped.txt")) << name;
        EXPECT_TRUE(std::filesystem::is_empty(extracted())) << name;
    }
}

TEST_F(ArchiveExtraction, ATarThatRunsTooLongIsStopped) {
    test::writeZip(archive(), sampleTree);
    std::filesystem::create_directories(extracted());
    EXPECT_EQ(test::failureOf([&] { extractArchive(archive(), extracted(), 0); }),
              "Package extraction timed out.");
}

} // namespace
} // namespace hub

#include "install/package_download.h"
#include "install/package_preparation.h"

#include "install_test_support.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace hub {
namespace {

TEST(PercentEncode, KeepsUnreservedAsciiAndEncodesEveryOtherByte) {
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {"", ""},
        {"1.0.0", "1.0.0"},
        {"AZaz09-._", "AZaz09-._"},
        {"1.0 beta", "1.0%20beta"},
        {"1.0.0+build5", "1.0.0%2Bbuild5"},
        {"~", "%7E"},
        {"a/b?c&d=e#f%", "a%2Fb%3Fc%26d%3De%23f%25"},
        {"\xC3\xA9", "%C3%A9"},
        {std::string("\x00\x7F\xFF", 3), "%00%7F%FF"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(percentEncode(text), expected) << text;
    }
}

TEST(PackageRequestUrl, AppendsTheEncodedVersionAsQuery) {
    const struct {
        std::string url;
        std::string version;
        std::string expected;
    } cases[] = {
        {"https://h/p.zip", "1.0.0", "https://h/p.zip?v=1.0.0"},
        {"https://h/p.zip?x=1", "1.0.0", "https://h/p.zip?x=1&v=1.0.0"},
        {"https://h/p.zip", "1.0 beta+2", "https://h/p.zip?v=1.0%20beta%2B2"},
        {"https://h/p.zip", "", "https://h/p.zip"},
        {"https://h/p.zip?x=1", "", "https://h/p.zip?x=1"},
    };
    for (const auto& [url, version, expected] : cases) {
        CatalogComponent component;
        component.downloadUrl = url;
        component.version = version;
        EXPECT_EQ(packageRequestUrl(component), expected) << url << " " << version;
    }
}

TEST(QuoteArgument, EnclosesThePathWithNothingEscaped) {
    EXPECT_EQ(quoteArgument(L"C:\\Work Folder\\package.zip"), L"\"C:\\Work Folder\\package.zip\"");
    EXPECT_EQ(quoteArgument(L"a\\"), L"\"a\\\\\"");
    EXPECT_EQ(quoteArgument(L""), L"\"\"");
}

TEST(SystemTar, IsTheTarExeInTheSystemFolder) {
    wchar_t system[MAX_PATH] = {};
    ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
    const auto tar = systemTarPath();
    EXPECT_EQ(tar, std::filesystem::path(system) / L"tar.exe");
    EXPECT_TRUE(std::filesystem::is_regular_file(tar));
}

TEST(SystemTar, AFolderWithoutTarExeHasNoArchiveSupport) {
    const test::TempFolder folder;
    std::filesystem::create_directories(folder / L"tar.exe"); // a folder of that name is no tool
    EXPECT_EQ(test::failureOf([&] { (void)tarPathIn(folder.path()); }),
              "Windows archive support (tar.exe) is not available.");
    std::filesystem::remove(folder / L"tar.exe");
    test::writeFile(folder / L"tar.exe", "MZ");
    EXPECT_EQ(tarPathIn(folder.path()), folder / L"tar.exe");
}

} // namespace
} // namespace hub

#include "install/receipt.h"

#include "install_test_support.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

CatalogComponent component(std::string id, std::string name, std::string version) {
    CatalogComponent result;
    result.id = std::move(id);
    result.name = std::move(name);
    result.version = std::move(version);
    return result;
}

TEST(Receipt, IsSortedIndentedUtf8JsonEndedByOneLineFeed) {
    const test::TempFolder folder;
    writeReceipt(folder.path(), component("caf\xC3\xA9-app", "Caf\xC3\xA9", "1.2.3-beta"));
    EXPECT_EQ(test::readFile(folder / L"orv-hub-install.json"),
              "{\n  \"component\": \"caf\xC3\xA9-app\",\n  \"version\": \"1.2.3-beta\"\n}\n");
    EXPECT_EQ(readReceiptVersion(folder.path()), "1.2.3-beta");
}

TEST(Receipt, WritingAgainReplacesTheWholeFile) {
    const test::TempFolder folder;
    test::writeFile(folder / L"orv-hub-install.json", std::string(500, 'x'));
    writeReceipt(folder.path(), component("app", "App", "2.0.0"));
    EXPECT_EQ(test::readFile(folder / L"orv-hub-install.json"),
              "{\n  \"component\": \"app\",\n  \"version\": \"2.0.0\"\n}\n");
}

TEST(Receipt, AFolderThatCannotTakeItFailsNamingTheComponent) {
    const test::TempFolder folder;
    EXPECT_EQ(test::failureOf([&] {
                  writeReceipt(folder / L"missing", component("app", "Camera System", "1.0.0"));
              }),
              "unable to write the installation receipt of Camera System");
}

TEST(Receipt, ReadsOnlyATextVersionOfAJsonObject) {
    const struct {
        const char* content;
        const char* version;
    } cases[] = {
        {R"({"component": "app", "version": "0.11.0"})", "0.11.0"},
        {R"({"version": " 1.0 "})", " 1.0 "},
        {R"({"version": 3})", ""},
        {R"({"version": null})", ""},
        {R"({"component": "app"})", ""},
        {R"(["version", "1.0.0"])", ""},
        {R"("1.0.0")", ""},
        {R"({"version": "1.0.0")", ""},
        {"not json", ""},
        {"", ""},
    };
    for (const auto& [content, version] : cases) {
        const test::TempFolder folder;
        test::writeFile(folder / L"orv-hub-install.json", content);
        EXPECT_EQ(readReceiptVersion(folder.path()), version) << content;
    }
    const test::TempFolder empty;
    EXPECT_EQ(readReceiptVersion(empty.path()), "");
}

} // namespace
} // namespace hub

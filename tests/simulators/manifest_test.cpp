#include "simulators/package_manifest.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

struct ManifestCase {
    const char* name;
    const char* content;
    const char* expected;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ManifestCase& value, std::ostream* out) {
    *out << value.name;
}

class ManifestTest : public testing::TestWithParam<ManifestCase> {};

TEST_P(ManifestTest, ReadsTheTopLevelVersion) {
    test::TempFolder temp;
    test::writeFile(temp / L"manifest.json", GetParam().content);
    EXPECT_EQ(readManifestVersion(temp.path()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Manifests, ManifestTest,
    testing::Values(
        ManifestCase{"Plain", R"({"title": "Pkg", "package_version": "1.2.3"})", "1.2.3"},
        ManifestCase{"SpacesAroundAreTrimmed", R"({"package_version": " \t1.0.4 \r\n"})", "1.0.4"},
        ManifestCase{"CarriageReturnLineEnds",
                     "{\r\n  \"content_type\": \"AIRCRAFT\",\r\n  \"package_version\": "
                     "\"0.1.46\"\r\n}\r\n",
                     "0.1.46"},
        ManifestCase{"ByteOrderMark", "\xEF\xBB\xBF{\"package_version\": \"2.0.0\"}", "2.0.0"},
        ManifestCase{"DependencyVersionComesFirst",
                     R"({"dependencies": [{"name": "fs-base", "package_version": "0.1.61"}],
                         "package_version": "0.0.11"})",
                     "0.0.11"},
        ManifestCase{"OnlyADependencyHasAVersion",
                     R"({"dependencies": [{"name": "fs-base", "package_version": "0.1.61"}]})", ""},
        ManifestCase{"VersionIsANumber", R"({"package_version": 1.5})", ""},
        ManifestCase{"SyntaxError",
                     R"({"dependencies": [{"a": 1} {"b": 2}], "package_version": "1"})", ""},
        ManifestCase{"Comment", "// note\n{\"package_version\": \"1.0.0\"}", ""},
        ManifestCase{"NotAnObject", R"(["package_version", "1.0.0"])", ""},
        ManifestCase{"Empty", "", ""}),
    [](const testing::TestParamInfo<ManifestCase>& param) { return param.param.name; });

TEST(ManifestFileTest, MissingManifestGivesNoVersion) {
    test::TempFolder temp;
    EXPECT_EQ(readManifestVersion(temp.path()), "");
    EXPECT_EQ(readManifestVersion(temp / L"no such folder"), "");
}

} // namespace
} // namespace hub

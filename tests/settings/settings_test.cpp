#include "settings/settings.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace hub {
namespace {

using test::readFile;
using test::TempFolder;
using test::writeFile;

struct LoadCase {
    const char* name;
    std::string content;
    Settings expected;
};

class LoadSettings : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadSettings, ReadsWhatItCanAndDefaultsTheRest) {
    const TempFolder folder;
    const auto file = folder / L"settings.json";
    writeFile(file, GetParam().content);
    EXPECT_EQ(loadSettings(file), GetParam().expected);
    EXPECT_EQ(readFile(file), GetParam().content) << "loading never rewrites the file";
}

const Settings both{"msfs2024-steam", L"D:\\Community"};

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadSettings,
    testing::Values(
        LoadCase{"Complete",
                 R"({"customCommunityFolder":"D:\\Community","simulator":"msfs2024-steam"})", both},
        LoadCase{"ByteOrderMark",
                 "\xEF\xBB\xBF"
                 R"({"customCommunityFolder":"D:\\Community","simulator":"msfs2024-steam"})",
                 both},
        LoadCase{
            "ExtraKeys",
            R"({"x":[1],"customCommunityFolder":"D:\\Community","simulator":"msfs2024-steam"})",
            both},
        LoadCase{"Empty", "", {}}, LoadCase{"Array", "[]", {}},
        LoadCase{"String", R"("msfs2024-steam")", {}}, LoadCase{"EmptyObject", "{}", {}},
        LoadCase{"Truncated", R"({"simulator":"msfs2024-steam")", {}},
        LoadCase{"Comment", "// x\n{\"simulator\":\"custom\"}", {}},
        LoadCase{"SimulatorNumber",
                 R"({"simulator":5,"customCommunityFolder":"D:\\C"})",
                 {"", L"D:\\C"}},
        LoadCase{"FolderNull",
                 R"({"simulator":"custom","customCommunityFolder":null})",
                 {"custom", L""}},
        LoadCase{"FolderArray",
                 R"({"simulator":"custom","customCommunityFolder":["D:\\C"]})",
                 {"custom", L""}},
        LoadCase{"SimulatorObject",
                 R"({"simulator":{},"customCommunityFolder":"D:\\C"})",
                 {"", L"D:\\C"}},
        LoadCase{"SimulatorBoolean", R"({"simulator":true})", {}},
        LoadCase{"OnlySimulator", R"({"simulator":"msfs2020-store"})", {"msfs2020-store", L""}},
        LoadCase{"OnlyFolder", R"({"customCommunityFolder":"E:\\Mods"})", {"", L"E:\\Mods"}},
        LoadCase{"InvalidUtf8InFolder",
                 "{\"simulator\":\"custom\",\"customCommunityFolder\":\"D:\\\\\xFF\"}",
                 {}}),
    [](const testing::TestParamInfo<LoadCase>& param) { return param.param.name; });

TEST(LoadSettings, MissingFileGivesDefaults) {
    const TempFolder folder;
    EXPECT_EQ(loadSettings(folder / L"settings.json"), Settings{});
}

TEST(LoadSettings, FolderInsteadOfFileGivesDefaults) {
    const TempFolder folder;
    EXPECT_EQ(loadSettings(folder.path()), Settings{});
}

TEST(SaveSettings, WritesTheExactFormat) {
    const TempFolder folder;
    const auto file = folder / L"settings.json";
    saveSettings(file, {"msfs2024-steam", L"D:\\Sim\\Community"});
    EXPECT_EQ(readFile(file), "{\n"
                              "  \"customCommunityFolder\": \"D:\\\\Sim\\\\Community\",\n"
                              "  \"simulator\": \"msfs2024-steam\"\n"
                              "}\n");
    EXPECT_FALSE(std::filesystem::exists(folder / L"settings.json.tmp"));
}

TEST(SaveSettings, DefaultsWriteEmptyStrings) {
    const TempFolder folder;
    const auto file = folder / L"settings.json";
    saveSettings(file, {});
    EXPECT_EQ(readFile(file), "{\n  \"customCommunityFolder\": \"\",\n  \"simulator\": \"\"\n}\n");
}

TEST(SaveSettings, NonAsciiIsWrittenRawAndReadBack) {
    const TempFolder folder;
    const auto file = folder / L"settings.json";
    const Settings settings{"custom", L"D:\\Fl\u00FCge \u98DB\u884C\\Community"};
    saveSettings(file, settings);
    const std::string content = readFile(file);
    EXPECT_NE(content.find("Fl\xC3\xBCge \xE9\xA3\x9B\xE8\xA1\x8C"), std::string::npos) << content;
    EXPECT_EQ(content.find("\\u"), std::string::npos) << content;
    EXPECT_EQ(loadSettings(file), settings);
}

TEST(SaveSettings, ReplacesTheFileAndDropsExtraKeys) {
    const TempFolder folder;
    const auto file = folder / L"settings.json";
    writeFile(file, R"({"simulator":"msfs2020-steam","theme":"dark"})");
    saveSettings(file, loadSettings(file));
    EXPECT_EQ(readFile(file), "{\n  \"customCommunityFolder\": \"\",\n"
                              "  \"simulator\": \"msfs2020-steam\"\n}\n");
}

TEST(SaveSettings, LeftoverTemporaryFileIsHarmless) {
    const TempFolder folder;
    const auto file = folder / L"settings.json";
    saveSettings(file, {"custom", L"D:\\A"});
    writeFile(folder / L"settings.json.tmp", "{\"simulator\":\"half");
    EXPECT_EQ(loadSettings(file), (Settings{"custom", L"D:\\A"}));
    saveSettings(file, {"custom", L"D:\\B"});
    EXPECT_EQ(loadSettings(file), (Settings{"custom", L"D:\\B"}));
    EXPECT_FALSE(std::filesystem::exists(folder / L"settings.json.tmp"));
}

void expectFailure(const std::filesystem::path& file, const char* message) {
    try {
        saveSettings(file, {"custom", L"D:\\A"});
        FAIL() << "saving succeeded";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), message);
    }
}

TEST(SaveSettings, UnwritableTemporaryFileFails) {
    const TempFolder folder;
    const auto file = folder / L"missing" / L"settings.json";
    expectFailure(file, "unable to write the settings file");
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(SaveSettings, FailedReplaceLeavesTheOldFileAndTheTemporaryFile) {
    const TempFolder folder;
    // A folder in the settings file's place cannot be replaced by a file.
    const auto file = folder / L"settings.json";
    std::filesystem::create_directory(file);
    expectFailure(file, "unable to replace the settings file");
    EXPECT_TRUE(std::filesystem::is_directory(file));
    EXPECT_EQ(loadSettings(folder / L"settings.json.tmp"), (Settings{"custom", L"D:\\A"}));
}

} // namespace
} // namespace hub

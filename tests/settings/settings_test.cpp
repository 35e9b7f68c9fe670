// The settings file and the activity log.
#include "settings/activity_log.h"
#include "settings/settings.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>

namespace hub {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

TEST(Settings, LoadingReadsWhatItCanAndDefaultsTheRest) {
    const test::TempFolder folder;
    const auto file = folder / L"settings.json";
    const Settings both{"msfs2024-steam", L"D:\\Community"};
    const std::pair<std::string, Settings> rows[] = {
        {"\xEF\xBB\xBF{\"x\":[1],\"customCommunityFolder\":\"D:\\\\Community\",\"simulator\":"
         "\"msfs2024-steam\"}",
         both},
        {R"({"simulator":5,"customCommunityFolder":"D:\\C"})", {"", L"D:\\C"}},
        {R"({"simulator":"custom","customCommunityFolder":["D:\\C"]})", {"custom", L""}},
        {R"({"customCommunityFolder":"Sim\\x"})", {}},
        {"[]", {}},
        {"", {}}};
    for (const auto& [content, expected] : rows) {
        writeFile(file, content);
        EXPECT_EQ(loadSettings(file), expected) << content;
        EXPECT_EQ(readFile(file), content) << "loading never rewrites the file";
    }
    EXPECT_EQ(loadSettings(folder / L"missing.json"), Settings{});
}

TEST(Settings, SavingReplacesTheWholeFileThroughATemporaryOne) {
    const test::TempFolder folder;
    const auto file = folder / L"settings.json";
    writeFile(file, R"({"simulator":"msfs2020-steam","theme":"dark"})");
    writeFile(folder / L"settings.json.tmp", "{\"simulator\":\"half");
    const Settings settings{"custom", L"D:\\Fl\u00FCge\\Community"};
    saveSettings(file, settings);
    EXPECT_EQ(readFile(file),
              "{\n  \"customCommunityFolder\": \"D:\\\\Fl\xC3\xBCge\\\\Community\",\n"
              "  \"simulator\": \"custom\"\n}\n");
    EXPECT_EQ(loadSettings(file), settings);
    EXPECT_FALSE(fs::exists(folder / L"settings.json.tmp"));
    EXPECT_EQ(test::failureOf([&] { saveSettings(folder / L"missing" / L"settings.json", {}); }),
              "unable to write the settings file");
    fs::create_directory(folder / L"taken.json");
    EXPECT_EQ(test::failureOf([&] { saveSettings(folder / L"taken.json", settings); }),
              "unable to replace the settings file");
    EXPECT_TRUE(fs::is_directory(folder / L"taken.json"));
}

TEST(ActivityLog, AppendsTimestampedLinesAndRotatesAboveOneMebibyte) {
    const test::TempFolder folder;
    const auto file = folder / L"hub.log";
    ActivityLog log(file);
    EXPECT_FALSE(fs::exists(file)) << "construction does not touch the disk";
    writeFile(file, std::string(std::size_t{1} << 20, 'x'));
    log.write("kept");
    EXPECT_FALSE(fs::exists(folder / L"hub.previous.log")) << "exactly the limit stays";
    const std::string full = readFile(file);
    EXPECT_TRUE(std::regex_match(full.substr(std::size_t{1} << 20),
                                 std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  kept\r\n)")));
    log.write("first of the new file");
    EXPECT_EQ(readFile(folder / L"hub.previous.log"), full);
    EXPECT_EQ(test::logMessages(file), std::vector<std::string>{"first of the new file"});
    ActivityLog(folder / L"missing" / L"hub.log").write("lost");
    EXPECT_FALSE(fs::exists(folder / L"missing"));
}

TEST(ActivityLog, ConcurrentWritersProduceWholeLines) {
    const test::TempFolder folder;
    ActivityLog log(folder / L"hub.log");
    const auto writer = [&log](char tag) {
        for (int i = 0; i < 200; ++i) {
            log.write(std::string(64, tag));
        }
    };
    {
        const std::jthread first(writer, 'a'), second(writer, 'b'); // joined at the scope's end
    }
    const auto lines = test::logMessages(folder / L"hub.log");
    EXPECT_EQ(lines.size(), 400U);
    EXPECT_EQ(std::set(lines.begin(), lines.end()),
              (std::set{std::string(64, 'a'), std::string(64, 'b')}));
}

} // namespace
} // namespace hub

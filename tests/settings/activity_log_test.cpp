#include "settings/activity_log.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <vector>

namespace hub {
namespace {

using test::readFile;
using test::TempFolder;
using test::writeFile;

const std::regex linePattern(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}  (.*))");

std::vector<std::string> splitLines(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = content.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        lines.push_back(content.substr(start, end - start));
    }
    EXPECT_EQ(start, content.size()) << "the file ends in the middle of a line";
    return lines;
}

std::string messageOf(const std::string& line) {
    std::smatch match;
    EXPECT_TRUE(std::regex_match(line, match, linePattern)) << line;
    return match.size() > 1 ? match[1].str() : std::string{};
}

TEST(ActivityLog, CreatesTheFileWithTimestampedCrLfLines) {
    const TempFolder folder;
    const auto file = folder / L"hub.log";
    ActivityLog log(file);
    EXPECT_FALSE(std::filesystem::exists(file)) << "construction does not touch the disk";
    log.write("Orvantis Hub 1.0.1 started");
    log.write("install x 1.0.0 -> C:\\Caf\xC3\xA9");
    const auto lines = splitLines(readFile(file));
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(messageOf(lines[0]), "Orvantis Hub 1.0.1 started");
    EXPECT_EQ(messageOf(lines[1]), "install x 1.0.0 -> C:\\Caf\xC3\xA9");
    EXPECT_EQ(lines[0].size(), 21U + 26U);
}

TEST(ActivityLog, AppendsToAnExistingFile) {
    const TempFolder folder;
    const auto file = folder / L"hub.log";
    writeFile(file, "earlier\r\n");
    ActivityLog(file).write("later");
    const std::string content = readFile(file);
    EXPECT_EQ(content.rfind("earlier\r\n", 0), 0U);
    EXPECT_EQ(messageOf(splitLines(content).back()), "later");
}

TEST(ActivityLog, RotatesAFileAboveOneMebibyte) {
    const TempFolder folder;
    const auto file = folder / L"hub.log";
    const std::string full(ActivityLog::rotationSize + 1, 'x');
    writeFile(file, full);
    writeFile(folder / L"hub.previous.log", "older generation");
    ActivityLog(file).write("first of the new file");
    EXPECT_EQ(readFile(folder / L"hub.previous.log"), full);
    const auto lines = splitLines(readFile(file));
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(messageOf(lines[0]), "first of the new file");
}

TEST(ActivityLog, KeepsAFileOfExactlyOneMebibyte) {
    const TempFolder folder;
    const auto file = folder / L"hub.log";
    writeFile(file, std::string(ActivityLog::rotationSize, 'x'));
    ActivityLog(file).write("appended");
    EXPECT_FALSE(std::filesystem::exists(folder / L"hub.previous.log"));
    EXPECT_EQ(std::filesystem::file_size(file), ActivityLog::rotationSize + 21U + 8U + 2U);
}

TEST(ActivityLog, MissingFolderLosesTheLineSilently) {
    const TempFolder folder;
    const auto file = folder / L"missing" / L"hub.log";
    ActivityLog log(file);
    log.write("lost");
    EXPECT_FALSE(std::filesystem::exists(folder / L"missing"));
}

TEST(ActivityLog, ConcurrentWritersProduceWholeLines) {
    const TempFolder folder;
    const auto file = folder / L"hub.log";
    ActivityLog log(file);
    constexpr int linesPerThread = 200;
    const auto writer = [&log](char tag) {
        for (int i = 0; i < linesPerThread; ++i) {
            log.write(std::string(64, tag) + " " + std::to_string(i));
        }
    };
    std::thread first(writer, 'a');
    std::thread second(writer, 'b');
    first.join();
    second.join();
    const auto lines = splitLines(readFile(file));
    ASSERT_EQ(lines.size(), 2U * linesPerThread);
    int next[2] = {0, 0};
    for (const auto& line : lines) {
        const std::string message = messageOf(line);
        ASSERT_GT(message.size(), 65U);
        const int writerIndex = message[0] == 'a' ? 0 : 1;
        EXPECT_EQ(message, std::string(64, message[0]) + " " + std::to_string(next[writerIndex]++));
    }
    EXPECT_EQ(next[0], linesPerThread);
    EXPECT_EQ(next[1], linesPerThread);
}

} // namespace
} // namespace hub

#include "util/executable_folder.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

using test::TempFolder;

TEST(ExecutableFolder, HoldsTheRunningExecutable) {
    const auto folder = executableFolder();
    EXPECT_TRUE(folder.is_absolute());
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / L"app_tests.exe")) << folder;
}

// Runs a check with the current directory moved, and moves it back.
class ResourceFolder : public testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(current_.path());
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    TempFolder executable_;
    TempFolder current_;
    std::filesystem::path previous_;
};

TEST_F(ResourceFolder, PrefersTheExecutableFolder) {
    std::filesystem::create_directory(executable_ / L"ui");
    std::filesystem::create_directory(current_ / L"ui");
    EXPECT_EQ(findResourceFolder(executable_.path(), L"ui"), executable_ / L"ui");
}

TEST_F(ResourceFolder, AFileOfThatNameCounts) {
    test::writeFile(executable_ / L"ui", "");
    std::filesystem::create_directory(current_ / L"ui");
    EXPECT_EQ(findResourceFolder(executable_.path(), L"ui"), executable_ / L"ui");
}

TEST_F(ResourceFolder, FallsBackToTheCurrentDirectory) {
    std::filesystem::create_directory(current_ / L"ui");
    EXPECT_TRUE(std::filesystem::equivalent(findResourceFolder(executable_.path(), L"ui"),
                                            current_ / L"ui"));
}

TEST_F(ResourceFolder, NeitherGivesTheExecutableFolderCandidate) {
    EXPECT_EQ(findResourceFolder(executable_.path(), L"ui"), executable_ / L"ui");
}

} // namespace
} // namespace hub

#include "install/file_operations.h"

#include "install/engine_test_support.h"
#include "support/test_files.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace hub {
namespace {

namespace fs = std::filesystem;

TEST(RenameWithRetryTest, SucceedsWhenALaterAttemptIsAllowed) {
    test::TempFolder temp;
    test::makeTree(temp / L"from", {{"x.txt", "x"}});
    int refusals = 3;
    test::MoveRecorder recorder([&](const fs::path&, const fs::path&) {
        return refusals-- > 0 ? std::optional<std::uint32_t>(ERROR_SHARING_VIOLATION)
                              : std::nullopt;
    });
    EXPECT_EQ(renameWithRetry(temp / L"from", temp / L"to"), 0U);
    EXPECT_EQ(recorder.moves.size(), 4U);
    EXPECT_EQ(test::readFile(temp / L"to" / L"x.txt"), "x");
}

TEST(RenameWithRetryTest, ReportsTheLastErrorAfterEightAttempts) {
    test::TempFolder temp;
    test::MoveRecorder recorder([&](const fs::path&, const fs::path&) {
        return recorder.moves.size() < 8 ? std::optional<std::uint32_t>(ERROR_SHARING_VIOLATION)
                                         : std::optional<std::uint32_t>(ERROR_ACCESS_DENIED);
    });
    EXPECT_EQ(renameWithRetry(temp / L"a", temp / L"b"),
              static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(recorder.moves.size(), 8U);
}

TEST(MoveReplacingTest, ReportsTheSystemError) {
    test::TempFolder temp;
    EXPECT_EQ(moveReplacing(temp / L"missing", temp / L"b"),
              static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST(RemoveTreeTest, RemovesReadOnlyFilesAndFolders) {
    test::TempFolder temp;
    test::makeTree(temp / L"tree", {{"a/b/c.txt", "c"}, {"d.txt", "d"}});
    SetFileAttributesW((temp / L"tree" / L"a" / L"b" / L"c.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((temp / L"tree" / L"a").c_str(),
                       FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(removeTree(temp / L"tree"), 0U);
    EXPECT_FALSE(fs::exists(temp / L"tree"));
    EXPECT_EQ(removeTree(temp / L"tree"), 0U) << "nothing left to remove";
}

TEST(RemoveTreeTest, RemovesLinksWithoutTouchingWhatTheyPointTo) {
    test::TempFolder temp;
    test::makeTree(temp / L"tree", {{"own.txt", "own"}});
    test::makeTree(temp / L"elsewhere", {{"precious.txt", "keep me"}});
    if (!CreateSymbolicLinkW((temp / L"tree" / L"link").c_str(), (temp / L"elsewhere").c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY |
                                 SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
        GTEST_SKIP() << "symbolic links cannot be made here (no privilege)";
    }
    EXPECT_EQ(removeTree(temp / L"tree"), 0U);
    EXPECT_FALSE(fs::exists(temp / L"tree"));
    EXPECT_EQ(test::readFile(temp / L"elsewhere" / L"precious.txt"), "keep me");
}

TEST(CreateDirectoriesTest, CreatesEveryMissingLevelAndAcceptsExistingOnes) {
    test::TempFolder temp;
    createDirectories(temp / L"a" / L"b" / L"c");
    createDirectories(temp / L"a" / L"b");
    EXPECT_TRUE(fs::is_directory(temp / L"a" / L"b" / L"c"));
}

TEST(CreateDirectoriesTest, AFileInTheWayIsAFailure) {
    test::TempFolder temp;
    test::writeFile(temp / L"file", "x");
    EXPECT_THROW(createDirectories(temp / L"file" / L"sub"), fs::filesystem_error);
    try {
        createDirectories(temp / L"file");
        FAIL() << "no error";
    } catch (const fs::filesystem_error& error) {
        EXPECT_NE(std::string(error.what()).find("create_directories"), std::string::npos);
    }
}

TEST(CreateDirectoryTest, AnExistingFolderIsAFailure) {
    test::TempFolder temp;
    createDirectory(temp / L"new");
    try {
        createDirectory(temp / L"new");
        FAIL() << "no error";
    } catch (const fs::filesystem_error& error) {
        EXPECT_NE(std::string(error.what()).find("create_directory"), std::string::npos);
        EXPECT_EQ(error.code().value(), ERROR_ALREADY_EXISTS);
    }
}

TEST(CopyTreeTest, CopiesFilesAndFoldersAndLeavesExistingDestinationsAlone) {
    test::TempFolder temp;
    const test::FileTree tree{{"a.txt", "a"}, {"sub/b.txt", "b"}, {"empty/", ""}};
    test::makeTree(temp / L"from", tree);
    copyTree(temp / L"from", temp / L"to");
    EXPECT_EQ(test::readTree(temp / L"to"), test::readTree(temp / L"from"));
    test::writeFile(temp / L"other.txt", "mine");
    copyTree(temp / L"from" / L"a.txt", temp / L"other.txt");
    EXPECT_EQ(test::readFile(temp / L"other.txt"), "mine");
}

} // namespace
} // namespace hub

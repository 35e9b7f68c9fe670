// The engine's file-system building blocks and the copy progress.
#include "install/copy_progress.h"
#include "install/file_operations.h"
#include "install/tree_listing.h"

#include "support/test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace hub {
namespace {

namespace fs = std::filesystem;

TEST(FileOperations, RenameRetriesEightTimesAndReportsTheLastError) {
    const test::TempFolder temp;
    test::makeTree(temp / L"from", {{"x.txt", "x"}});
    int refusals = 3;
    {
        const test::MoveRecorder recorder([&](const fs::path&, const fs::path&) {
            return refusals-- > 0 ? std::optional<std::uint32_t>(ERROR_SHARING_VIOLATION)
                                  : std::nullopt;
        });
        EXPECT_EQ(renameWithRetry(temp / L"from", temp / L"to"), 0U);
        EXPECT_EQ(recorder.moves.size(), 4U);
    }
    EXPECT_EQ(test::readFile(temp / L"to" / L"x.txt"), "x");
    const test::MoveRecorder recorder([&](const fs::path&, const fs::path&) {
        return std::optional<std::uint32_t>(recorder.moves.size() < 8 ? ERROR_SHARING_VIOLATION
                                                                      : ERROR_ACCESS_DENIED);
    });
    EXPECT_EQ(renameWithRetry(temp / L"a", temp / L"b"),
              static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(recorder.moves.size(), 8U);
}

TEST(FileOperations, TreesAreListedCopiedAndRemovedWhole) {
    const test::TempFolder temp;
    test::makeTree(temp / L"tree",
                   {{"a.txt", "12345"}, {"sub/b.bin", std::string(300, 'b')}, {"empty/", ""}});
    std::uint64_t total = 99;
    const auto entries = listTree(temp / L"tree", total);
    EXPECT_EQ(total, 305U);
    EXPECT_EQ(entries.size(), 4U);
    const auto at = [&](const wchar_t* path) {
        return std::find_if(entries.begin(), entries.end(),
                            [&](const auto& e) { return e.relativePath == path; });
    };
    EXPECT_LT(at(L"sub"), at(L"sub\\b.bin")) << "folders before their contents";
    copyTree(temp / L"tree", temp / L"copy");
    EXPECT_EQ(test::readTree(temp / L"copy"), test::readTree(temp / L"tree"));
    SetFileAttributesW((temp / L"tree" / L"sub" / L"b.bin").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(removeTree(temp / L"tree"), 0U);
    EXPECT_FALSE(fs::exists(temp / L"tree"));
    EXPECT_EQ(removeTree(temp / L"tree"), 0U) << "nothing left to remove";
    EXPECT_THROW(listTree(temp / L"tree", total), fs::filesystem_error);
    test::writeFile(temp / L"file", "x");
    EXPECT_THROW(createDirectories(temp / L"file" / L"sub"), fs::filesystem_error);
    EXPECT_THROW(createDirectory(temp / L"copy"), fs::filesystem_error);
}

// Reports go out when forced, after a step of 0.004, or when 120 ms have passed; the copy
// routine cancels when the flag is raised or the callback failed.
TEST(CopyProgressRoutine, ThrottlesReportsAndCancels) {
    test::ProgressRecorder recorder;
    std::atomic<bool> cancel{false};
    CopyProgress state{recorder.callback, cancel, 1000};
    state.report(0, true);
    state.lastReportTime = std::numeric_limits<std::int64_t>::max() / 2; // the clock holds still
    state.report(3, false);
    state.report(4, false);
    state.lastReportTime = 0; // long ago
    state.report(5, false);
    const auto routine = [&](std::int64_t bytes) {
        LARGE_INTEGER done{.QuadPart = bytes};
        return copyProgressRoutine({}, done, {}, {}, 1, CALLBACK_CHUNK_FINISHED, nullptr, nullptr,
                                   &state);
    };
    state.copiedBytes = 200;
    EXPECT_EQ(routine(300), static_cast<DWORD>(PROGRESS_CONTINUE));
    const std::vector<double> expected{0.0, 0.004, 0.005, 0.5};
    ASSERT_EQ(recorder.reports.size(), expected.size());
    for (std::size_t index = 0; index < expected.size(); ++index) {
        EXPECT_DOUBLE_EQ(recorder.reports[index].first, expected[index]);
    }
    cancel = true;
    EXPECT_EQ(routine(400), static_cast<DWORD>(PROGRESS_CANCEL));
    cancel = false;
    recorder.callback = [](double, const std::string&) { throw std::runtime_error("gone"); };
    EXPECT_EQ(routine(600), static_cast<DWORD>(PROGRESS_CANCEL));
    EXPECT_TRUE(state.callbackFailure);
}

} // namespace
} // namespace hub

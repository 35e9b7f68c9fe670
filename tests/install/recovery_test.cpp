#include "install/staged_activation.h"

#include "install/engine_test_support.h"
#include "support/test_files.h"
#include "util/unique_handle.h"
#include "util/windows_error.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace hub {
namespace {

namespace fs = std::filesystem;
using test::FileTree;

const FileTree oldVersion{{"version.txt", "old"}, {"sub/a.txt", "old a"}};
const FileTree newVersion{{"version.txt", "new"}, {"sub/b.txt", "new b"}};

struct RecoveryCase {
    const char* name;
    bool target;   // the target holds the new version
    bool staging;  // a partial copy
    bool previous; // the old version
    bool removing; // a folder half deleted
    const char* report;
    const FileTree* result; // what the target holds afterwards; null when it is absent
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const RecoveryCase& value, std::ostream* out) {
    *out << value.name;
}

class RecoveryTest : public testing::TestWithParam<RecoveryCase> {
protected:
    test::TempFolder temp;
    fs::path target = temp / L"Pkg Folder";
};

TEST_P(RecoveryTest, FinishesOrUndoesTheInterruptedWork) {
    const auto& leftovers = GetParam();
    if (leftovers.target) {
        test::makeTree(target, newVersion);
    }
    if (leftovers.staging) {
        test::makeTree(target.native() + L".orv-hub-staging", {{"version.txt", "ne"}});
    }
    if (leftovers.previous) {
        test::makeTree(target.native() + L".orv-hub-previous", oldVersion);
    }
    if (leftovers.removing) {
        test::makeTree(target.native() + L".orv-hub-removing", {{"left/over.txt", "x"}});
    }
    EXPECT_EQ(recoverInterruptedWork(target), leftovers.report);
    FileTree expected;
    if (leftovers.result != nullptr) {
        test::makeTree(temp / L"expected", *leftovers.result);
        expected = test::readTree(temp / L"expected");
    }
    EXPECT_EQ(fs::exists(target) ? test::readTree(target) : FileTree{}, expected);
    EXPECT_EQ(fs::exists(target), leftovers.result != nullptr);
    for (const auto& entry : fs::directory_iterator(temp.path())) {
        EXPECT_TRUE(entry.path() == target || entry.path().filename() == L"expected")
            << "left behind: " << entry.path();
    }
    EXPECT_EQ(recoverInterruptedWork(target), "") << "a second run has nothing to do";
}

INSTANTIATE_TEST_SUITE_P(
    Leftovers, RecoveryTest,
    testing::Values(
        RecoveryCase{"Nothing", true, false, false, false, "", &newVersion},
        RecoveryCase{"NothingAndNoTarget", false, false, false, false, "", nullptr},
        RecoveryCase{"Staging", true, true, false, false, "Pkg Folder: incomplete copy removed",
                     &newVersion},
        RecoveryCase{"StagingOfAFreshInstall", false, true, false, false,
                     "Pkg Folder: incomplete copy removed", nullptr},
        RecoveryCase{"Removing", false, false, false, true,
                     "Pkg Folder: interrupted removal completed", nullptr},
        RecoveryCase{"PreviousBesideTarget", true, false, true, false,
                     "Pkg Folder: previous version removed", &newVersion},
        RecoveryCase{"PreviousAlone", false, false, true, false,
                     "Pkg Folder: previous version restored", &oldVersion},
        RecoveryCase{"StagingAndPrevious", false, true, true, false,
                     "Pkg Folder: incomplete copy removed; previous version restored", &oldVersion},
        RecoveryCase{"Everything", true, true, true, true,
                     "Pkg Folder: incomplete copy removed; interrupted removal completed; "
                     "previous version removed",
                     &newVersion},
        RecoveryCase{"EverythingButTarget", false, true, true, true,
                     "Pkg Folder: incomplete copy removed; interrupted removal completed; "
                     "previous version restored",
                     &oldVersion}),
    [](const testing::TestParamInfo<RecoveryCase>& param) { return param.param.name; });

TEST(RecoveryEdgeTest, EmptyTargetPathTouchesNothing) {
    test::TempFolder temp;
    test::makeTree(temp / L".orv-hub-staging", {{"x.txt", "x"}});
    test::makeTree(temp / L".orv-hub-previous", {{"x.txt", "x"}});
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    SetCurrentDirectoryW(temp.path().c_str());
    const auto report = recoverInterruptedWork(fs::path());
    SetCurrentDirectoryW(saved);
    EXPECT_EQ(report, "");
    EXPECT_TRUE(fs::exists(temp / L".orv-hub-staging"));
    EXPECT_TRUE(fs::exists(temp / L".orv-hub-previous"));
}

TEST(RecoveryEdgeTest, TrailingSeparatorNamesTheSameSiblings) {
    test::TempFolder temp;
    test::makeTree(temp / L"pkg.orv-hub-previous", oldVersion);
    EXPECT_EQ(recoverInterruptedWork(temp.path() / L"pkg\\"), "pkg: previous version restored");
    EXPECT_TRUE(fs::exists(temp / L"pkg" / L"version.txt"));
}

class RemovalTest : public testing::Test {
protected:
    void remove() { removeInstalledFolder(folder, progress); }

    test::TempFolder temp;
    fs::path folder = temp / L"Apps" / L"Tool";
    fs::path removing = folder.native() + L".orv-hub-removing";
    std::vector<std::pair<double, std::string>> reports;
    ProgressCallback progress = [this](double fraction, const std::string& message) {
        reports.emplace_back(fraction, message);
    };
};

TEST_F(RemovalTest, RemovesTheWholeFolder) {
    test::makeTree(folder, {{"tool.exe", "binary"}, {"data/x.bin", "x"}, {"empty/", ""}});
    SetFileAttributesW((folder / L"data" / L"x.bin").c_str(), FILE_ATTRIBUTE_READONLY);
    remove();
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(fs::exists(removing));
    EXPECT_TRUE(fs::exists(folder.parent_path()));
    EXPECT_EQ(reports, (std::vector<std::pair<double, std::string>>{{-1.0, "Removing files"}}));
}

TEST_F(RemovalTest, MissingFolderIsNothingToDo) {
    remove();
    EXPECT_TRUE(reports.empty());
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(RemovalTest, LeftoversAreRecoveredFirst) {
    test::makeTree(folder.native() + L".orv-hub-previous", {{"tool.exe", "old"}});
    remove();
    EXPECT_FALSE(fs::exists(folder)) << "the restored folder is removed as well";
    EXPECT_FALSE(fs::exists(folder.native() + L".orv-hub-previous"));
}

TEST_F(RemovalTest, FolderInUseStaysUntouched) {
    test::makeTree(folder, {{"tool.exe", "binary"}});
    test::MoveRecorder recorder([](const fs::path&, const fs::path&) {
        return std::optional<std::uint32_t>(ERROR_SHARING_VIOLATION);
    });
    EXPECT_EQ(test::failureOf([&] { remove(); }),
              "Tool is in use. Close the programs using it and try again.");
    EXPECT_EQ(recorder.moves.size(), 8U);
    EXPECT_EQ(test::readFile(folder / L"tool.exe"), "binary");
}

TEST_F(RemovalTest, UndeletableRemainsStayForTheNextRecovery) {
    test::makeTree(folder, {{"tool.exe", "binary"}, {"logs/today.log", "log"}});
    UniqueHandle held;
    // Once the folder is out of place, a file in it is held open so that it cannot be deleted.
    test::MoveRecorder recorder(
        [&](const fs::path& from, const fs::path& to) -> std::optional<std::uint32_t> {
            if (!MoveFileExW(from.c_str(), to.c_str(), 0)) {
                return GetLastError();
            }
            held.reset(CreateFileW((to / L"logs" / L"today.log").c_str(), GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            return 0;
        });
    EXPECT_EQ(test::failureOf([&] { remove(); }),
              windowsError("Some files of Tool could not be deleted and will be removed on the "
                           "next start",
                           ERROR_SHARING_VIOLATION)
                  .what());
    ASSERT_TRUE(held.valid());
    EXPECT_FALSE(fs::exists(folder));
    held.reset();
    EXPECT_EQ(test::readTree(removing), (FileTree{{"logs/", ""}, {"logs/today.log", "log"}}));
    EXPECT_EQ(recoverInterruptedWork(folder), "Tool: interrupted removal completed");
    EXPECT_FALSE(fs::exists(removing));
}

} // namespace
} // namespace hub

// Replacing a target folder as a whole, undoing or finishing interrupted work, and removing it.
#include "install/staged_activation.h"

#include "install/long_path.h"
#include "support/test_support.h"
#include "util/unique_handle.h"
#include "util/windows_error.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace hub {
namespace {

namespace fs = std::filesystem;
using test::FileTree;

// Folders are listed as entries ending in "/", as readTree gives them.
const FileTree oldVersion{{"a.txt", "old a"},
                          {"keep/", ""},
                          {"keep/user.ini", "settings"},
                          {"sub/", ""},
                          {"sub/old.txt", "old"}};
const FileTree newVersion{{"a.txt", "new a"}, {"empty/", ""}, {"sub/", ""}, {"sub/new.txt", "new"}};
const std::optional<std::uint32_t> allowed;

UniqueHandle holdOpen(const fs::path& file) {
    return UniqueHandle(CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

class StagedActivation : public testing::Test {
protected:
    StagedActivation() { test::makeTree(source, newVersion); }

    void install(const std::vector<std::wstring>& preserved = {}) {
        stageAndActivate(source, target, preserved, {}, recorder.callback, cancel);
    }
    void oldInPlace() {
        recoverInterruptedWork(target);
        ASSERT_EQ(removeTree(target), 0U);
        test::makeTree(target, oldVersion);
    }

    test::TempFolder temp;
    fs::path source = temp / L"source";
    fs::path target = temp / L"Community" / L"pkg";
    std::atomic<bool> cancel{false};
    test::ProgressRecorder recorder;
};

TEST_F(StagedActivation, ReplacesTheWholeTargetAndCarriesOverPreservedItems) {
    FileTree preserved = newVersion;
    preserved.merge(FileTree{{"keep/", ""}, {"keep/user.ini", "settings"}, {"sub/old.txt", "old"}});
    const struct {
        bool oldExists;
        std::vector<std::wstring> preserved;
        FileTree expected;
    } rows[] = {
        {false, {L"keep"}, newVersion},
        {true, {}, newVersion},
        {true, {L"keep", L"sub/old.txt", L"a.txt", L"missing", L"..\\x", L"C:\\x"}, preserved}};
    for (const auto& row : rows) {
        oldInPlace();
        recorder.reports.clear();
        if (!row.oldExists) {
            ASSERT_EQ(removeTree(target), 0U);
        }
        const test::MoveRecorder moves;
        install(row.preserved);
        EXPECT_EQ(test::readTree(target), row.expected);
        EXPECT_EQ(moves.moves.size(), row.oldExists ? 2U : 1U);
        EXPECT_EQ(std::distance(fs::directory_iterator(temp / L"Community"), {}), 1) << "siblings";
    }
    const auto& reports = recorder.reports;
    EXPECT_EQ(reports.front(), std::make_pair(-1.0, std::string("Preparing files")));
    EXPECT_EQ(reports.back(), std::make_pair(1.0, std::string("Activating the new version")));
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end(),
                               [](auto& a, auto& b) { return a.first < b.first; }));
}

// Every way an install can fail or be cancelled leaves the complete old version in place.
TEST_F(StagedActivation, FailuresAndCancellationKeepTheOldVersion) {
    UniqueHandle held;
    const auto refuse = [](const wchar_t* name) {
        return [name](const fs::path& from, const fs::path&) {
            return from.filename() == name ? std::optional<std::uint32_t>(5) : allowed;
        };
    };
    const struct {
        test::MoveRecorder::Refusal refusal;
        std::function<void()> before;
        std::string failure;
        std::size_t moves;
    } rows[] = {
        {refuse(L"pkg"), {}, "pkg is in use. Close the programs using it and try again.", 8},
        {refuse(L"pkg.orv-hub-staging"), {}, windowsError("Unable to activate pkg", 5).what(), 10},
        {{},
         [&] { held = holdOpen(source / L"sub" / L"new.txt"); },
         windowsError("Unable to copy sub\\new.txt", ERROR_SHARING_VIOLATION).what(),
         0},
        {{}, [&] { cancel = true; }, "cancelled", 0},
        {{},
         [&] { recorder.callback = [&](double part, auto&) { cancel = part > 0 && part < 1; }; },
         "cancelled",
         0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.failure);
        oldInPlace();
        cancel = false;
        held.reset();
        if (row.before) {
            row.before();
        }
        const test::MoveRecorder moves(row.refusal);
        EXPECT_EQ(test::failureOf([&] { install(); }), row.failure);
        EXPECT_EQ(moves.moves.size(), row.moves);
        EXPECT_EQ(test::readTree(target), oldVersion);
        if (row.moves > 0) {
            EXPECT_EQ(std::distance(fs::directory_iterator(temp / L"Community"), {}), 1);
        }
    }
    oldInPlace();
    cancel = false;
    recorder.callback = nullptr;
    {
        const test::MoveRecorder noWayBack([](const fs::path& from, const fs::path&) {
            return from.filename() == L"pkg" ? allowed : 5;
        });
        EXPECT_EQ(test::failureOf([&] { install(); }),
                  windowsError("Unable to activate pkg, and its previous version will be "
                               "restored on the next start",
                               5)
                      .what());
    }
    EXPECT_EQ(recoverInterruptedWork(target), "pkg: previous version restored");
    EXPECT_EQ(test::readTree(target), oldVersion);
}

TEST_F(StagedActivation, LongPathsAndLinksInstallAndRemoveWithinTheTarget) {
    const std::wstring segment(60, L'd');
    const fs::path deep = fs::path(segment) / segment / segment / segment;
    createDirectories(toLongPath(source / deep));
    test::writeFile(toLongPath(source / deep / L"file.txt"), "deep content");
    test::makeTree(temp / L"elsewhere", {{"secret.txt", "outside"}});
    const auto link = [&](const fs::path& at) {
        return CreateSymbolicLinkW(at.c_str(), (temp / L"elsewhere").c_str(),
                                   SYMBOLIC_LINK_FLAG_DIRECTORY |
                                       SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    };
    const bool links = link(source / L"linked");
    target = temp / segment / segment / L"pkg";
    install();
    EXPECT_EQ(test::readFile(toLongPath(target / deep / L"file.txt")), "deep content");
    EXPECT_FALSE(pathExists(target / L"linked")) << "links are neither copied nor followed";
    EXPECT_TRUE(!links || link(target / L"linked"));
    removeInstalledFolder(target, {});
    EXPECT_FALSE(pathExists(toLongPath(target)));
    EXPECT_TRUE(pathExists(toLongPath(target.parent_path())));
    EXPECT_EQ(test::readFile(temp / L"elsewhere" / L"secret.txt"), "outside");
    EXPECT_EQ(test::failureOf([&] { stageAndActivate(source, L"C:\\", {}, {}, {}, cancel); }),
              "The installation folder is not valid.");
}

TEST(Recovery, FinishesOrUndoesWhatTheSiblingsRecord) {
    const FileTree oldTree{{"v.txt", "old"}};
    const FileTree newTree{{"v.txt", "new"}};
    const struct {
        const char* leftovers; // t target, s staging, p previous, r removing
        const char* report;
        const FileTree* result;
    } rows[] = {
        {"t", "", &newTree},
        {"", "", nullptr},
        {"ts", "Pkg: incomplete copy removed", &newTree},
        {"r", "Pkg: interrupted removal completed", nullptr},
        {"tp", "Pkg: previous version removed", &newTree},
        {"p", "Pkg: previous version restored", &oldTree},
        {"tspr",
         "Pkg: incomplete copy removed; interrupted removal completed; previous version removed",
         &newTree},
        {"spr",
         "Pkg: incomplete copy removed; interrupted removal completed; previous version restored",
         &oldTree},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.leftovers);
        const test::TempFolder temp;
        const auto target = temp / L"Pkg";
        const std::string leftovers = row.leftovers;
        for (const auto& [letter, suffix, tree] :
             {std::tuple{'t', L"", newTree},
              {'s', L".orv-hub-staging", FileTree{{"v.txt", "n"}}},
              {'p', L".orv-hub-previous", oldTree},
              {'r', L".orv-hub-removing", newTree}}) {
            if (leftovers.find(letter) != std::string::npos) {
                test::makeTree(target.native() + suffix, tree);
            }
        }
        EXPECT_EQ(recoverInterruptedWork(target), row.report);
        FileTree expected;
        if (row.result != nullptr) {
            expected = {{"Pkg/", ""}, {"Pkg/v.txt", row.result->at("v.txt")}};
        }
        EXPECT_EQ(test::readTree(temp.path()), expected);
        EXPECT_EQ(recoverInterruptedWork(target.native() + L"\\"), "");
    }
}

TEST(Removal, RemovesTheWholeFolderOrLeavesTheRestForRecovery) {
    const test::TempFolder temp;
    const auto folder = temp / L"Apps" / L"Tool";
    test::makeTree(folder, {{"tool.exe", "binary"}, {"logs/today.log", "log"}, {"empty/", ""}});
    SetFileAttributesW((folder / L"tool.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    {
        const test::MoveRecorder refused(
            [](auto&, auto&) { return std::optional<std::uint32_t>(32); });
        EXPECT_EQ(test::failureOf([&] { removeInstalledFolder(folder, {}); }),
                  "Tool is in use. Close the programs using it and try again.");
        EXPECT_EQ(refused.moves.size(), 8U);
    }
    UniqueHandle held;
    {
        // Once out of place, a file in the folder is held open so that it cannot be deleted.
        const test::MoveRecorder holding([&](const fs::path& from, const fs::path& to) {
            MoveFileExW(from.c_str(), to.c_str(), 0);
            held = holdOpen(to / L"logs" / L"today.log");
            return std::optional<std::uint32_t>(0);
        });
        EXPECT_EQ(test::failureOf([&] { removeInstalledFolder(folder, {}); }),
                  windowsError("Some files of Tool could not be deleted and will be removed on "
                               "the next start",
                               ERROR_SHARING_VIOLATION)
                      .what());
    }
    EXPECT_FALSE(fs::exists(folder));
    held.reset();
    EXPECT_EQ(recoverInterruptedWork(folder), "Tool: interrupted removal completed");
    EXPECT_EQ(test::readTree(temp.path()), (FileTree{{"Apps/", ""}}));
    EXPECT_EQ(test::failureOf([] { removeInstalledFolder({}, {}); }),
              "The installation folder is not valid.");
}

} // namespace
} // namespace hub

// Replacing a target folder as a whole, undoing or finishing interrupted work, and removing it.
#include "install/staged_activation.h"

#include "install/long_path.h"
#include "support/test_files.h"
#include "support/test_prefix.h"
#include "support/test_support.h"
#include "util/unique_handle.h"
#include "util/windows_error.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace hub {
namespace {

namespace fs = std::filesystem;
using test::FileTree;

const FileTree oldVersion{{"a.txt", "old a"},
                          {"sub/old-only.txt", "only old"},
                          {"keep/user.ini", "the user's settings"},
                          {"both.cfg", "old copy"}};
const FileTree newVersion{
    {"a.txt", "new a"}, {"sub/deep/new.txt", "only new"}, {"both.cfg", "new copy"}, {"empty/", ""}};
constexpr std::optional<std::uint32_t> allowed;

// The tree a FileTree makes on disk, folders included.
FileTree onDisk(const test::TempFolder& temp, const FileTree& tree) {
    static int count = 0;
    const auto folder = temp / (L"expected" + std::to_wstring(count++));
    test::makeTree(folder, tree);
    return test::readTree(folder);
}

class StagedActivation : public testing::Test {
protected:
    StagedActivation() { test::makeTree(source, newVersion); }

    void install(const std::vector<std::wstring>& preserved = {},
                 const StagedCallback& staged = {}) {
        stageAndActivate(source, target, preserved, staged, recorder.callback, cancel);
    }
    [[nodiscard]] fs::path sibling(const wchar_t* suffix) const { return target.native() + suffix; }
    void expectNoSiblings() const {
        for (const auto* suffix :
             {L".orv-hub-staging", L".orv-hub-previous", L".orv-hub-removing"}) {
            EXPECT_FALSE(fs::exists(sibling(suffix))) << "left behind: " << suffix;
        }
    }

    test::TempFolder temp;
    fs::path source = temp / L"source";
    fs::path target = temp / L"Community" / L"pkg";
    std::atomic<bool> cancel{false};
    test::ProgressRecorder recorder;
};

TEST_F(StagedActivation, ReplacesTheWholeTargetAndCarriesOverPreservedItems) {
    FileTree withPreserved = newVersion;
    withPreserved.merge(
        FileTree{{"keep/user.ini", "the user's settings"}, {"sub/old-only.txt", "only old"}});
    const struct {
        const char* name;
        bool oldExists;
        std::vector<std::wstring> preserved;
        FileTree expected;
        std::size_t moves;
    } rows[] = {
        {"fresh install", false, {L"keep\\user.ini"}, newVersion, 1},
        {"replace", true, {}, newVersion, 2},
        {"preserved items, the new version's own copy wins",
         true,
         {L"keep\\user.ini", L"both.cfg", L"sub/old-only.txt", L"not-there.txt"},
         withPreserved,
         2},
        {"preserved folder", true, {L"keep", L"sub\\old-only.txt"}, withPreserved, 2},
        {"preserved paths leaving the target",
         true,
         {L"..\\source\\a.txt", L"C:\\x", L"sub\\..\\..\\pkg.txt"},
         newVersion,
         2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(removeTree(target), 0U);
        if (row.oldExists) {
            test::makeTree(target, oldVersion);
        }
        const test::MoveRecorder moves;
        install(row.preserved);
        EXPECT_EQ(test::readTree(target), onDisk(temp, row.expected));
        ASSERT_EQ(moves.moves.size(), row.moves);
        EXPECT_EQ(moves.moves.back().first.filename(), L"pkg.orv-hub-staging");
        expectNoSiblings();
    }
    EXPECT_FALSE(fs::exists(temp / L"Community" / L"pkg.txt"));
}

TEST_F(StagedActivation, ProgressRisesFromPreparingToActivation) {
    FileTree many;
    for (char name = 'a'; name <= 'z'; ++name) {
        many[std::string(1, name) + ".bin"] = std::string(100 + name, 'x');
    }
    test::makeTree(source, many);
    install();
    const auto& reports = recorder.reports;
    // Each of these files is more than 0.004 of the whole, so each one is reported.
    ASSERT_GE(reports.size(), many.size() + 4);
    EXPECT_EQ(reports.front(), std::make_pair(-1.0, std::string("Preparing files")));
    EXPECT_EQ(reports[1], std::make_pair(0.0, std::string("Copying files")));
    EXPECT_EQ(reports.back(), std::make_pair(1.0, std::string("Activating the new version")));
    for (std::size_t index = 2; index < reports.size(); ++index) {
        EXPECT_GE(reports[index].first, reports[index - 1].first) << index;
    }
}

// Every way an install can fail or be cancelled leaves the complete old version in place.
TEST_F(StagedActivation, FailuresAndCancellationKeepTheOldVersion) {
    UniqueHandle held;
    const auto refuse = [](const wchar_t* name, DWORD error) {
        return [name, error](const fs::path& from, const fs::path&) {
            return from.filename() == name ? std::optional<std::uint32_t>(error) : allowed;
        };
    };
    const struct {
        const char* name;
        test::MoveRecorder::Refusal refusal;
        std::function<void()> before;
        std::string failure;
        std::size_t moves;
    } rows[] = {
        {"target in use",
         refuse(L"pkg", ERROR_SHARING_VIOLATION),
         {},
         "pkg is in use. Close the programs using it and try again.",
         8},
        {"new version cannot move in",
         refuse(L"pkg.orv-hub-staging", ERROR_ACCESS_DENIED),
         {},
         windowsError("Unable to activate pkg", ERROR_ACCESS_DENIED).what(),
         1 + 8 + 1},
        {"unreadable source file",
         {},
         [&] {
             held.reset(CreateFileW((source / L"sub" / L"deep" / L"new.txt").c_str(), GENERIC_READ,
                                    0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
         },
         windowsError("Unable to copy sub\\deep\\new.txt", ERROR_SHARING_VIOLATION).what(),
         0},
        {"cancelled before the copy", {}, [&] { cancel = true; }, "cancelled", 0},
        {"cancelled between files",
         {},
         [&] {
             recorder.callback = [&](double fraction, const std::string&) {
                 cancel = fraction > 0.0 && fraction < 1.0;
             };
         },
         "cancelled",
         0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        recoverInterruptedWork(target);
        ASSERT_EQ(removeTree(target), 0U);
        test::makeTree(target, oldVersion);
        cancel = false;
        held.reset();
        if (row.before) {
            row.before();
        }
        const test::MoveRecorder moves(row.refusal);
        EXPECT_EQ(test::failureOf([&] { install(); }), row.failure);
        EXPECT_EQ(moves.moves.size(), row.moves);
        EXPECT_EQ(test::readTree(target), onDisk(temp, oldVersion));
        EXPECT_FALSE(fs::exists(sibling(L".orv-hub-previous")));
    }
}

TEST_F(StagedActivation, AFailedRollbackIsFinishedByTheNextRecovery) {
    test::makeTree(target, oldVersion);
    {
        const test::MoveRecorder moves([](const fs::path& from, const fs::path&) {
            return from.filename() == L"pkg" ? allowed : ERROR_ACCESS_DENIED;
        });
        EXPECT_EQ(test::failureOf([&] { install(); }),
                  windowsError("Unable to activate pkg", ERROR_ACCESS_DENIED).what());
    }
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(recoverInterruptedWork(target), "pkg: previous version restored");
    EXPECT_EQ(test::readTree(target), onDisk(temp, oldVersion));
}

TEST_F(StagedActivation, TheStagedCallbackWritesIntoTheNewVersionBeforeActivation) {
    test::makeTree(target, oldVersion);
    install({}, [&](const fs::path& staging) {
        EXPECT_EQ(test::readFile(target / L"a.txt"), "old a") << "activated too early";
        test::writeFile(staging / L"receipt.json", "receipt");
    });
    EXPECT_EQ(test::readFile(target / L"receipt.json"), "receipt");
    EXPECT_EQ(test::failureOf([&] {
                  install({}, [](const fs::path&) { throw std::runtime_error("no receipt"); });
              }),
              "no receipt");
    EXPECT_EQ(test::readFile(target / L"receipt.json"), "receipt");
}

TEST_F(StagedActivation, LongPathsInstallAndRemoveWithoutReachingTheParent) {
    const std::wstring segment(60, L'd');
    const fs::path deep = fs::path(segment) / segment / segment / segment;
    createDirectories(toLongPath(source / deep));
    test::writeFile(toLongPath(source / deep / L"file.txt"), "deep content");
    target = temp / segment / segment / L"pkg";
    const auto installed = toLongPath(target / deep / L"file.txt");
    ASSERT_GT(installed.native().size(), 264U);
    install();
    EXPECT_EQ(test::readFile(installed), "deep content");
    removeInstalledFolder(target, {});
    EXPECT_FALSE(pathExists(toLongPath(target)));
    EXPECT_TRUE(pathExists(toLongPath(target.parent_path())));
}

// Links in the package are neither copied nor followed, and removing a folder that holds a
// link never deletes what the link points to.
TEST_F(StagedActivation, LinksAreNeitherFollowedNorCopiedNorEmptied) {
    test::makeTree(temp / L"elsewhere", {{"secret.txt", "outside"}});
    const auto flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE | SYMBOLIC_LINK_FLAG_DIRECTORY;
    if (!CreateSymbolicLinkW((source / L"linked").c_str(), (temp / L"elsewhere").c_str(), flags)) {
        GTEST_SKIP() << "symbolic links cannot be made here";
    }
    install();
    EXPECT_EQ(test::readTree(target), onDisk(temp, newVersion));
    ASSERT_TRUE(
        CreateSymbolicLinkW((target / L"linked").c_str(), (temp / L"elsewhere").c_str(), flags));
    removeInstalledFolder(target, {});
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(test::readFile(temp / L"elsewhere" / L"secret.txt"), "outside");
}

TEST_F(StagedActivation, AFolderWithoutNameIsRefused) {
    EXPECT_EQ(test::failureOf([&] { stageAndActivate(source, L"C:\\", {}, {}, {}, cancel); }),
              "The installation folder is not valid.");
    EXPECT_EQ(test::failureOf([&] { removeInstalledFolder({}, {}); }),
              "The installation folder is not valid.");
}

// The current folder, restored at scope exit.
class CurrentFolder {
public:
    explicit CurrentFolder(const fs::path& folder) : saved_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~CurrentFolder() { fs::current_path(saved_); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    fs::path saved_;
};

TEST(Recovery, FinishesOrUndoesWhatTheSiblingsRecord) {
    const FileTree oldTree{{"version.txt", "old"}};
    const FileTree newTree{{"version.txt", "new"}};
    const struct {
        const char* leftovers; // t target, s staging, p previous, r removing
        const char* report;
        const FileTree* result;
    } rows[] = {
        {"t", "", &newTree},
        {"", "", nullptr},
        {"ts", "incomplete copy removed", &newTree},
        {"s", "incomplete copy removed", nullptr},
        {"r", "interrupted removal completed", nullptr},
        {"tp", "previous version removed", &newTree},
        {"p", "previous version restored", &oldTree},
        {"sp", "incomplete copy removed; previous version restored", &oldTree},
        {"tspr", "incomplete copy removed; interrupted removal completed; previous version removed",
         &newTree},
        {"spr", "incomplete copy removed; interrupted removal completed; previous version restored",
         &oldTree},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.leftovers);
        const test::TempFolder temp;
        const auto target = temp / L"Pkg";
        const std::string leftovers = row.leftovers;
        const auto make = [&](char letter, const wchar_t* suffix, const FileTree& tree) {
            if (leftovers.find(letter) != std::string::npos) {
                test::makeTree(target.native() + suffix, tree);
            }
        };
        make('t', L"", newTree);
        make('s', L".orv-hub-staging", {{"version.txt", "ne"}});
        make('p', L".orv-hub-previous", oldTree);
        make('r', L".orv-hub-removing", {{"left/over.txt", "x"}});
        const std::string report = row.report;
        EXPECT_EQ(recoverInterruptedWork(target), report.empty() ? report : "Pkg: " + report);
        EXPECT_EQ(fs::exists(target) ? test::readTree(target) : FileTree{},
                  row.result ? *row.result : FileTree{});
        EXPECT_EQ(std::distance(fs::directory_iterator(temp.path()), {}), row.result ? 1 : 0);
        EXPECT_EQ(recoverInterruptedWork(target.native() + L"\\"), "");
    }
    const test::TempFolder temp;
    test::makeTree(temp / L".orv-hub-previous", oldTree);
    const CurrentFolder inside(temp.path());
    EXPECT_EQ(recoverInterruptedWork(fs::path()), "");
    EXPECT_TRUE(fs::exists(temp / L".orv-hub-previous")) << "an empty path names no siblings";
}

TEST(Removal, RemovesTheWholeFolderOrLeavesTheRestForRecovery) {
    const test::TempFolder temp;
    const auto folder = temp / L"Apps" / L"Tool";
    test::makeTree(folder, {{"tool.exe", "binary"}, {"logs/today.log", "log"}, {"empty/", ""}});
    SetFileAttributesW((folder / L"tool.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    {
        const test::MoveRecorder refused([](const fs::path&, const fs::path&) {
            return std::optional<std::uint32_t>(ERROR_SHARING_VIOLATION);
        });
        EXPECT_EQ(test::failureOf([&] { removeInstalledFolder(folder, {}); }),
                  "Tool is in use. Close the programs using it and try again.");
        EXPECT_EQ(refused.moves.size(), 8U);
    }
    UniqueHandle held;
    {
        // Once out of place, a file in the folder is held open so that it cannot be deleted.
        const test::MoveRecorder holding([&](const fs::path& from, const fs::path& to) {
            MoveFileExW(from.c_str(), to.c_str(), 0);
            held.reset(CreateFileW((to / L"logs" / L"today.log").c_str(), GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            return std::optional<std::uint32_t>(0);
        });
        test::ProgressRecorder recorder;
        EXPECT_EQ(test::failureOf([&] { removeInstalledFolder(folder, recorder.callback); }),
                  windowsError("Some files of Tool could not be deleted and will be removed on "
                               "the next start",
                               ERROR_SHARING_VIOLATION)
                      .what());
        EXPECT_EQ(recorder.phases(), std::vector<std::string>{"Removing files"});
    }
    EXPECT_FALSE(fs::exists(folder));
    held.reset();
    EXPECT_EQ(recoverInterruptedWork(folder), "Tool: interrupted removal completed");
    EXPECT_EQ(test::readTree(temp.path()), (FileTree{{"Apps/", ""}}));
    removeInstalledFolder(folder, {});
}

} // namespace
} // namespace hub

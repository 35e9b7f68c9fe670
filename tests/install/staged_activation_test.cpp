#include "install/staged_activation.h"

#include "install/engine_test_support.h"
#include "install/file_operations.h"
#include "install/long_path.h"
#include "install/operation_cancelled.h"
#include "support/test_files.h"
#include "support/test_prefix.h"
#include "util/unique_handle.h"
#include "util/windows_error.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace hub {
namespace {

namespace fs = std::filesystem;
using test::FileTree;

const FileTree oldVersion{{"manifest.json", R"({"package_version": "1.0.0"})"},
                          {"a.txt", "old a"},
                          {"sub/old-only.txt", "only in the old version"},
                          {"keep/user.ini", "the user's settings"},
                          {"both.cfg", "old copy"}};

const FileTree newVersion{{"manifest.json", R"({"package_version": "2.0.0"})"},
                          {"a.txt", "new a"},
                          {"sub/deep/new.txt", "only in the new version"},
                          {"both.cfg", "new copy"},
                          {"empty/", ""}};

const wchar_t* const siblingSuffixes[] = {L".orv-hub-staging", L".orv-hub-previous",
                                          L".orv-hub-removing"};

using Report = std::pair<double, std::string>;

// Opens a file so that nobody else may read, write or delete it while the handle lives.
UniqueHandle holdExclusively(const fs::path& file) {
    UniqueHandle handle(CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(handle.valid()) << "cannot open " << file;
    return handle;
}

class StagedActivationTest : public testing::Test {
protected:
    void install(const std::vector<std::wstring>& preserved = {},
                 const StagedCallback& onStaged = {}) {
        stageAndActivate(source, target, preserved, onStaged, progress, cancel);
    }

    [[nodiscard]] fs::path sibling(const wchar_t* suffix) const { return target.native() + suffix; }

    void expectNoSiblings() const {
        for (const auto* suffix : siblingSuffixes) {
            EXPECT_FALSE(fs::exists(sibling(suffix))) << "left behind: " << sibling(suffix);
        }
    }

    test::TempFolder temp;
    fs::path source = temp / L"source";
    fs::path target = temp / L"Community" / L"pkg";
    std::atomic<bool> cancel{false};
    std::vector<Report> reports;
    ProgressCallback progress = [this](double fraction, const std::string& message) {
        reports.emplace_back(fraction, message);
    };
};

TEST_F(StagedActivationTest, FreshInstallMovesOnlyTheStagingFolderIntoPlace) {
    test::makeTree(source, newVersion);
    test::MoveRecorder recorder;
    install();
    EXPECT_EQ(test::readTree(target), test::readTree(source));
    ASSERT_EQ(recorder.moves.size(), 1U);
    EXPECT_EQ(recorder.moves[0].first.filename(), L"pkg.orv-hub-staging");
    expectNoSiblings();
}

TEST_F(StagedActivationTest, ReplacingRemovesTheOldVersionCompletely) {
    test::makeTree(source, newVersion);
    test::makeTree(target, oldVersion);
    test::MoveRecorder recorder;
    install();
    EXPECT_EQ(test::readTree(target), test::readTree(source));
    ASSERT_EQ(recorder.moves.size(), 2U);
    EXPECT_EQ(recorder.moves[0].second.filename(), L"pkg.orv-hub-previous");
    EXPECT_EQ(recorder.moves[1].first.filename(), L"pkg.orv-hub-staging");
    expectNoSiblings();
}

TEST_F(StagedActivationTest, PreservedPathsOnlyInTheOldVersionAreCarriedOver) {
    test::makeTree(source, newVersion);
    test::makeTree(target, oldVersion);
    install({L"keep\\user.ini", L"both.cfg", L"sub/old-only.txt", L"not-there.txt"});
    auto expected = test::readTree(source);
    expected["keep/"] = "";
    expected["keep/user.ini"] = "the user's settings";
    expected["sub/old-only.txt"] = "only in the old version";
    EXPECT_EQ(test::readTree(target), expected);
    expectNoSiblings();
}

TEST_F(StagedActivationTest, PreservedFolderIsCarriedOverWithItsContents) {
    test::makeTree(source, newVersion);
    test::makeTree(target, {{"cache/a.bin", "1"}, {"cache/b/c.bin", "2"}});
    install({L"cache"});
    const auto tree = test::readTree(target);
    EXPECT_EQ(tree.at("cache/a.bin"), "1");
    EXPECT_EQ(tree.at("cache/b/c.bin"), "2");
}

TEST_F(StagedActivationTest, PreservedPathsAreIgnoredOnAFreshInstall) {
    test::makeTree(source, newVersion);
    test::MoveRecorder recorder;
    install({L"keep\\user.ini"});
    EXPECT_EQ(test::readTree(target), test::readTree(source));
    EXPECT_EQ(recorder.moves.size(), 1U);
}

TEST_F(StagedActivationTest, EmptySourceActivatesAnEmptyFolderAndReportsCompleteCopy) {
    fs::create_directories(source);
    install();
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_TRUE(test::readTree(target).empty());
    const std::vector<Report> expected{{-1.0, "Preparing files"},
                                       {1.0, "Copying files"},
                                       {1.0, "Copying files"},
                                       {1.0, "Activating the new version"}};
    EXPECT_EQ(reports, expected);
}

TEST_F(StagedActivationTest, FolderOnlySourceActivatesItsFolders) {
    test::makeTree(source, {{"a/", ""}, {"a/b/", ""}, {"c/", ""}});
    install();
    EXPECT_EQ(test::readTree(target), test::readTree(source));
    EXPECT_EQ(reports.at(1), Report(1.0, "Copying files"));
}

TEST_F(StagedActivationTest, ProgressStartsAtZeroEndsAtOneAndNeverGoesBack) {
    FileTree many;
    for (int index = 0; index < 40; ++index) {
        many["files/f" + std::to_string(index) + ".bin"] = std::string(100 + index * 10, 'x');
    }
    test::makeTree(source, many);
    install();
    ASSERT_GE(reports.size(), 4U);
    EXPECT_EQ(reports.front(), Report(-1.0, "Preparing files"));
    EXPECT_EQ(reports[1], Report(0.0, "Copying files"));
    EXPECT_EQ(reports[reports.size() - 2], Report(1.0, "Copying files"));
    EXPECT_EQ(reports.back(), Report(1.0, "Activating the new version"));
    for (std::size_t index = 2; index < reports.size(); ++index) {
        EXPECT_GE(reports[index].first, reports[index - 1].first) << "report " << index;
    }
    // Each file here is more than 0.004 of the whole, so every file is reported.
    EXPECT_EQ(reports.size(), many.size() + 4);
}

TEST_F(StagedActivationTest, LongPathsBeyondTheOldLimitInstallAndRemove) {
    const std::wstring segment(60, L'd');
    const fs::path deep = fs::path(segment) / segment / segment / segment;
    createDirectories(toLongPath(source / deep));
    test::writeFile(toLongPath(source / deep / L"file.txt"), "deep content");
    target = temp / segment / segment / L"pkg";
    const auto installed = toLongPath(target / deep / L"file.txt");
    ASSERT_GT(installed.native().size(), 260U + 4U);
    install();
    EXPECT_EQ(test::readFile(installed), "deep content");
    removeInstalledFolder(target, {});
    EXPECT_FALSE(pathExists(toLongPath(target)));
    EXPECT_TRUE(pathExists(toLongPath(target.parent_path())));
}

TEST_F(StagedActivationTest, OnStagedWritesIntoTheNewVersionBeforeActivation) {
    test::makeTree(source, newVersion);
    test::makeTree(target, oldVersion);
    fs::path staged;
    install({}, [&](const fs::path& staging) {
        staged = staging;
        EXPECT_EQ(test::readFile(target / L"a.txt"), "old a") << "activated too early";
        test::writeFile(staging / L"orv-hub-install.json", "receipt");
    });
    EXPECT_EQ(staged.filename(), L"pkg.orv-hub-staging");
    EXPECT_EQ(test::readFile(target / L"orv-hub-install.json"), "receipt");
}

TEST_F(StagedActivationTest, FailingOnStagedLeavesTheOldVersionAndRemovesTheStagingFolder) {
    test::makeTree(source, newVersion);
    test::makeTree(target, oldVersion);
    EXPECT_EQ(test::failureOf([&] {
                  install({}, [](const fs::path&) {
                      throw std::runtime_error("unable to write the installation receipt");
                  });
              }),
              "unable to write the installation receipt");
    EXPECT_EQ(test::readFile(target / L"a.txt"), "old a");
    expectNoSiblings();
}

TEST_F(StagedActivationTest, CancelBeforeTheFirstEntryLeavesTheTargetUntouched) {
    test::makeTree(source, newVersion);
    test::makeTree(target, oldVersion);
    cancel = true;
    EXPECT_EQ(test::failureOf([&] { install(); }), "cancelled");
    EXPECT_EQ(test::readTree(target).at("a.txt"), "old a");
    expectNoSiblings();
}

TEST_F(StagedActivationTest, CancelBetweenFilesStopsTheCopyAndKeepsTheOldVersion) {
    test::makeTree(source, newVersion);
    test::makeTree(target, oldVersion);
    const auto before = test::readTree(target);
    progress = [this](double fraction, const std::string&) {
        if (fraction > 0.0 && fraction < 1.0) {
            cancel = true;
        }
    };
    EXPECT_EQ(test::failureOf([&] { install(); }), "cancelled");
    EXPECT_EQ(test::readTree(target), before);
    expectNoSiblings();
}

TEST_F(StagedActivationTest, CancelDuringALargeFileCopyEndsAsCancelledNotAsCopyFailure) {
    if (test::runningUnderWine()) {
        GTEST_SKIP() << "Wine's CopyFileExW never calls its progress routine, so a copy cannot "
                        "be stopped midway; the routine itself is tested directly";
    }
    test::makeTree(source, {{"large.bin", std::string(64 << 20, 'x')}});
    progress = [this](double fraction, const std::string&) {
        if (fraction > 0.0 && fraction < 1.0) {
            cancel = true;
        }
    };
    EXPECT_EQ(test::failureOf([&] { install(); }), "cancelled");
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(StagedActivationTest, AFileThatCannotBeReadFailsTheCopyAndKeepsTheOldVersion) {
    test::makeTree(source, newVersion);
    test::makeTree(target, oldVersion);
    const auto before = test::readTree(target);
    const auto held = holdExclusively(source / L"sub" / L"deep" / L"new.txt");
    EXPECT_EQ(test::failureOf([&] { install(); }),
              windowsError("Unable to copy sub\\deep\\new.txt", ERROR_SHARING_VIOLATION).what());
    EXPECT_EQ(test::readTree(target), before);
}

TEST_F(StagedActivationTest, TargetThatCannotBeMovedAsideStaysUntouched) {
    test::makeTree(source, newVersion);
    test::makeTree(target, oldVersion);
    const auto before = test::readTree(target);
    test::MoveRecorder recorder([](const fs::path& from, const fs::path&) {
        return from.filename() == L"pkg" ? std::optional<std::uint32_t>(ERROR_SHARING_VIOLATION)
                                         : std::nullopt;
    });
    EXPECT_EQ(test::failureOf([&] { install(); }),
              "pkg is in use. Close the programs using it and try again.");
    EXPECT_EQ(recorder.moves.size(), 8U) << "eight attempts";
    EXPECT_EQ(test::readTree(target), before);
    expectNoSiblings();
}

TEST_F(StagedActivationTest, NewVersionThatCannotBeMovedInRollsBackToTheOldVersion) {
    test::makeTree(source, newVersion);
    test::makeTree(target, oldVersion);
    const auto before = test::readTree(target);
    test::MoveRecorder recorder([](const fs::path& from, const fs::path&) {
        return from.filename() == L"pkg.orv-hub-staging"
                   ? std::optional<std::uint32_t>(ERROR_ACCESS_DENIED)
                   : std::nullopt;
    });
    EXPECT_EQ(test::failureOf([&] { install(); }),
              windowsError("Unable to activate pkg", ERROR_ACCESS_DENIED).what());
    EXPECT_EQ(recorder.moves.size(), 1U + 8U + 1U) << "aside, eight attempts, back";
    EXPECT_EQ(test::readTree(target), before);
    expectNoSiblings();
}

TEST_F(StagedActivationTest, FailedRollbackIsFinishedByTheNextRecovery) {
    test::makeTree(source, newVersion);
    test::makeTree(target, oldVersion);
    const auto before = test::readTree(target);
    {
        test::MoveRecorder recorder([](const fs::path& from, const fs::path&) {
            return from.filename() == L"pkg" ? std::nullopt
                                             : std::optional<std::uint32_t>(ERROR_ACCESS_DENIED);
        });
        EXPECT_EQ(test::failureOf([&] { install(); }),
                  windowsError("Unable to activate pkg, and its previous version will be "
                               "restored on the next start",
                               ERROR_ACCESS_DENIED)
                      .what());
    }
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(recoverInterruptedWork(target), "pkg: previous version restored");
    EXPECT_EQ(test::readTree(target), before);
}

TEST_F(StagedActivationTest, TargetHeldOpenCannotBeReplaced) {
    if (test::runningUnderWine()) {
        GTEST_SKIP() << "Wine moves a folder that holds an open file; refused moves are "
                        "simulated in the tests above";
    }
    test::makeTree(source, newVersion);
    test::makeTree(target, oldVersion);
    const auto held = holdExclusively(target / L"a.txt");
    EXPECT_EQ(test::failureOf([&] { install(); }),
              "pkg is in use. Close the programs using it and try again.");
    EXPECT_EQ(test::readFile(target / L"a.txt"), "old a");
    expectNoSiblings();
}

TEST_F(StagedActivationTest, SymbolicLinksInTheSourceAreNeitherCopiedNorFollowed) {
    test::makeTree(source, newVersion);
    test::makeTree(temp / L"elsewhere", {{"secret.txt", "outside the package"}});
    const auto flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (!CreateSymbolicLinkW((source / L"linked-folder").c_str(), (temp / L"elsewhere").c_str(),
                             flags | SYMBOLIC_LINK_FLAG_DIRECTORY) ||
        !CreateSymbolicLinkW((source / L"linked.txt").c_str(),
                             (temp / L"elsewhere" / L"secret.txt").c_str(), flags)) {
        GTEST_SKIP() << "symbolic links cannot be made here (Wine, or no privilege)";
    }
    install();
    test::makeTree(temp / L"expected", newVersion);
    EXPECT_EQ(test::readTree(target), test::readTree(temp / L"expected"));
}

TEST_F(StagedActivationTest, TargetWithoutAFolderNameIsRefused) {
    test::makeTree(source, newVersion);
    EXPECT_EQ(
        test::failureOf([&] { stageAndActivate(source, fs::path(L"C:\\"), {}, {}, {}, cancel); }),
        "The installation folder is not valid.");
    EXPECT_EQ(test::failureOf([&] { removeInstalledFolder(fs::path(), {}); }),
              "The installation folder is not valid.");
}

} // namespace
} // namespace hub

// Replacing a target folder as a whole, undoing or finishing interrupted work (also after a
// crash), removing it, and the file-system building blocks beneath.
#include "install/staged_activation.h"

#include "install/copy_progress.h"
#include "install/file_operations.h"
#include "install/long_path.h"
#include "install/processes.h"
#include "support/test_support.h"
#include "util/text.h"
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
         [&] { held = test::holdOpen(source / L"sub" / L"new.txt"); },
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
    // A previous version that recovery cannot move back is the only copy of the old version:
    // every change waits until it is back.
    {
        const test::MoveRecorder refuseAll([](auto&, auto&) { return 5U; });
        const std::string denied = windowsErrorText(5);
        EXPECT_EQ(recoverInterruptedWork(target),
                  "pkg: previous version not restored, the next start will try again (" + denied +
                      ")");
        const std::string refused = "The previous version of pkg could not be restored from "
                                    "pkg.orv-hub-previous: " +
                                    denied + ". Restart Orvantis Hub and try again.";
        EXPECT_EQ(test::failureOf([&] { install(); }), refused);
        EXPECT_EQ(test::failureOf([&] { removeInstalledFolder(target, {}); }), refused);
    }
    EXPECT_EQ(recoverInterruptedWork(target), "pkg: previous version restored");
    EXPECT_EQ(test::readTree(target), oldVersion);
}

// A leftover with a file that cannot be deleted is set aside, so that it never blocks the next
// change, and is deleted once it can be; only a leftover that cannot be set aside either (Windows
// refuses to move a folder with an open file; Wine moves it, so the refusal is provoked) stops
// the change, naming the leftover and the system's text.
TEST_F(StagedActivation, LeftoversThatCannotBeDeletedNeverBlockForGood) {
    const auto blocked = [](const char* leftover) -> std::string {
        return windowsError(std::string("The leftover folder pkg") + leftover +
                                " blocks changes to pkg and could not be removed",
                            ERROR_SHARING_VIOLATION)
            .what();
    };
    const std::string removeFailed = " (" + windowsErrorText(ERROR_SHARING_VIOLATION) + ")";
    const struct {
        const char* leftover;
        bool install; // else remove
        bool refuseAside;
        std::string report;
        std::string failure;
    } rows[] = {
        {".orv-hub-previous", true, false, "previous version could not be removed", "no failure"},
        {".orv-hub-staging", true, false, "incomplete copy could not be removed", "no failure"},
        {".orv-hub-removing", false, false, "interrupted removal could not be completed",
         "no failure"},
        {".orv-hub-previous", true, true, "previous version could not be removed",
         blocked(".orv-hub-previous")},
        {".orv-hub-removing", false, true, "interrupted removal could not be completed",
         blocked(".orv-hub-removing")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.failure + row.leftover);
        oldInPlace();
        const fs::path leftover = target.native() + toWide(row.leftover);
        test::makeTree(leftover, {{"locked.bin", "x"}});
        UniqueHandle held = test::holdOpen(leftover / L"locked.bin");
        {
            const test::MoveRecorder aside([&](auto&, const fs::path& to) {
                return row.refuseAside && to.native().ends_with(L"removing.1")
                           ? std::optional<std::uint32_t>(5)
                           : allowed;
            });
            EXPECT_EQ(recoverInterruptedWork(target), "pkg: " + row.report + removeFailed);
            EXPECT_EQ(test::failureOf(
                          [&] { row.install ? install() : removeInstalledFolder(target, {}); }),
                      row.failure);
        }
        const FileTree* expected = row.refuseAside ? &oldVersion
                                   : row.install   ? &newVersion
                                                   : nullptr;
        EXPECT_EQ(fs::exists(target) ? test::readTree(target) : FileTree{},
                  expected ? *expected : FileTree{});
        held.reset();
        EXPECT_NE(recoverInterruptedWork(target), "") << "the leftover goes once it can";
        EXPECT_EQ(std::distance(fs::directory_iterator(temp / L"Community"), {}), expected ? 1 : 0);
    }
}

// T: is a 4 MiB RAM disk that the harness maps into the prefix where it may mount one. Neither
// the new version nor the preserved items arrive in part.
TEST_F(StagedActivation, AFullDiskFailsBeforeActivationAndFreesItsSpace) {
    if (!fs::exists(L"T:\\")) {
        GTEST_SKIP() << "no RAM disk mapped as T: (mounting needs root)";
    }
    target = L"T:\\Community\\pkg";
    const FileTree old{{"big.bin", std::string(2u << 20, 'o')}, {"user.cfg", "mine"}};
    for (const auto& [newBytes, failure] :
         {std::pair<std::size_t, std::string>{1u << 20, "Unable to keep big.bin: "},
          {3u << 20, "Unable to copy new.bin: "}}) {
        SCOPED_TRACE(failure);
        test::makeTree(target, old);
        test::makeTree(source, {{"new.bin", std::string(newBytes, 'n')}});
        const auto free = fs::space(L"T:\\").available;
        const auto message = test::failureOf([&] { install({L"user.cfg", L"big.bin"}); });
        EXPECT_EQ(message.substr(0, failure.size()), failure) << message;
        EXPECT_EQ(test::readTree(target), old);
        EXPECT_FALSE(fs::exists(target.native() + L".orv-hub-staging"));
        EXPECT_EQ(fs::space(L"T:\\").available, free);
        fs::remove_all(target);
    }
}

TEST_F(StagedActivation, ActivationMovesOnOneVolumeAndCopiesWhenForced) {
    for (const bool forced : {false, true}) {
        test::makeTree(source, newVersion);
        setCopyActivationForTesting(forced);
        stageAndActivate(source, target, {}, {}, {}, cancel, SourceUse::MayMove);
        setCopyActivationForTesting(false);
        EXPECT_EQ(test::readTree(target), newVersion);
        EXPECT_EQ(fs::exists(source), forced);
    }
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
    const bool links = link(source / L"linked") && pathExists(source / L"linked" / L"secret.txt");
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
    if (!links) {
        GTEST_SKIP() << "long paths checked; links unchecked: no working symbolic link could be "
                        "made (Wine makes one that leads nowhere)";
    }
}

TEST(Recovery, FinishesOrUndoesWhatTheSiblingsRecord) {
    const FileTree oldTree{{"v.txt", "old"}};
    const FileTree newTree{{"v.txt", "new"}};
    const struct {
        const char* leftovers; // t target, s staging, p previous, r removing
        const char* report;
        const FileTree* result;
    } rows[] = {
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
        EXPECT_EQ(test::readTree(temp.path()),
                  (FileTree{{"Pkg/", ""}, {"Pkg/v.txt", row.result->at("v.txt")}}));
        EXPECT_EQ(recoverInterruptedWork(target.native() + L"\\"), "");
    }
}

TEST(Removal, RemovesTheWholeFolderOrLeavesTheRestForRecovery) {
    const test::TempFolder temp;
    const auto folder = temp / L"Apps" / L"Tool";
    test::makeTree(folder, {{"tool.exe", "binary"}, {"logs/today.log", "log"}, {"empty/", ""}});
    SetFileAttributesW((folder / L"tool.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    UniqueHandle held;
    {
        // Once out of place, a file in the folder is held open so that it cannot be deleted.
        const test::MoveRecorder holding([&](const fs::path& from, const fs::path& to) {
            MoveFileExW(from.c_str(), to.c_str(), 0);
            held = test::holdOpen(to / L"logs" / L"today.log");
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

// A refused rename is tried up to eight times; the last refusal's error is the result.
TEST(FileOperations, RenameRetriesEightTimesAndReportsTheLastError) {
    const test::TempFolder temp;
    test::makeTree(temp / L"from", {{"x.txt", "x"}});
    for (const auto& [refusals, result] : {std::pair{8U, 5U}, {3U, 0U}}) {
        const test::MoveRecorder recorder([&](auto&, auto&) -> std::optional<std::uint32_t> {
            const auto tries = recorder.moves.size();
            const std::uint32_t error = tries < 8 ? ERROR_SHARING_VIOLATION : ERROR_ACCESS_DENIED;
            return tries > refusals ? std::nullopt : std::optional{error};
        });
        EXPECT_EQ(renameWithRetry(temp / L"from", temp / L"to"), result);
        EXPECT_EQ(recorder.moves.size(), std::min(refusals + 1, 8U));
    }
    EXPECT_EQ(test::readFile(temp / L"to" / L"x.txt"), "x");
}

// The copy routine cancels when the flag is raised or the progress callback failed.
TEST(CopyProgressRoutine, CancelsWhenAskedOrWhenTheCallbackFailed) {
    test::ProgressRecorder recorder;
    std::atomic<bool> cancel{false};
    CopyProgress state{recorder.callback, cancel, 1000};
    const auto routine = [&](std::int64_t bytes) {
        LARGE_INTEGER done{.QuadPart = bytes};
        return copyProgressRoutine({}, done, {}, {}, 1, CALLBACK_CHUNK_FINISHED, nullptr, nullptr,
                                   &state);
    };
    EXPECT_EQ(routine(300), static_cast<DWORD>(PROGRESS_CONTINUE));
    cancel = true;
    EXPECT_EQ(routine(400), static_cast<DWORD>(PROGRESS_CANCEL));
    cancel = false;
    recorder.callback = [](double, const std::string&) { throw std::runtime_error("gone"); };
    EXPECT_EQ(routine(600), static_cast<DWORD>(PROGRESS_CANCEL));
    EXPECT_TRUE(state.callbackFailure);
}

// An installation or removal killed at any point, followed by the recovery of the next run,
// leaves the target exactly as the old or exactly as the new version. The work runs in a child
// (tests/tools/install_child.cpp) that kills itself at a chosen point, as a crash would end it.
constexpr std::uint32_t killedExitCode = 99;
constexpr int newFiles = 6;

class CrashRecovery : public testing::Test {
protected:
    CrashRecovery() {
        for (int index = 0; index < newFiles; ++index) {
            newTree["content/file" + std::to_string(index) + ".bin"] = std::string(2000, 'a');
        }
        test::makeTree(source, newTree);
        newTree.merge(FileTree{{"keep/", ""}, {"keep/user.ini", "the user's settings"}});
    }

    // Runs the child killed at the point, recovers as the next run would and returns the tree.
    FileTree killedAt(const std::wstring& arguments, const std::wstring& point, bool fresh) {
        if (fresh) {
            recoverInterruptedWork(target);
            EXPECT_EQ(removeTree(target), 0U);
            test::makeTree(target, oldTree);
        }
        const auto outcome =
            runAndWait(test::testProgram(L"hub_install_child.exe"),
                       arguments + L" " + point +
                           (arguments.starts_with(L"install") ? L" keep\\user.ini" : L""),
                       60000, true);
        EXPECT_EQ(outcome.exitCode, point == L"none" ? 0 : killedExitCode);
        recoverInterruptedWork(target);
        EXPECT_EQ(std::distance(fs::directory_iterator(target.parent_path()), {}),
                  fs::exists(target) ? 1 : 0)
            << "siblings left";
        return fs::exists(target) ? test::readTree(target) : FileTree{};
    }

    const FileTree oldTree{{"old-only/", ""},
                           {"old-only/data.bin", std::string(3000, 'o')},
                           {"keep/", ""},
                           {"keep/user.ini", "the user's settings"},
                           {"shared.txt", "old shared"}};
    FileTree newTree{{"content/", ""}, {"shared.txt", "new shared"}};
    test::TempFolder temp;
    fs::path source = temp / L"new version";
    fs::path target = temp / L"Community" / L"pkg";
    std::wstring install = L"install \"" + source.native() + L"\" \"" + target.native() + L"\"";
    std::wstring remove = L"remove \"" + target.native() + L"\"";
    const FileTree gone;
};

// Kill points across the whole install: the progress reports (preparing, amid the copy of one per
// file, the activation after the copy's end), the staged folder, and both activation moves;
// then across a removal, whose second run finds the work of the first one killed.
TEST_F(CrashRecovery, AnInstallOrRemovalComesBackAsTheOldOrTheNewStateNeverAMix) {
    const auto progress = [](int report) { return L"progress:" + std::to_wstring(report); };
    const std::tuple<const std::wstring*, std::wstring, bool, const FileTree*> points[] = {
        {&install, progress(1), true, &oldTree},
        {&install, progress(2 + newFiles / 2), true, &oldTree},
        {&install, progress(newFiles + 4), true, &oldTree},
        {&install, L"staged", true, &oldTree},
        {&install, L"move-before:1", true, &oldTree},
        {&install, L"move-after:1", true, &oldTree},
        {&install, L"move-before:2", true, &oldTree},
        {&install, L"move-after:2", true, &newTree},
        {&install, L"none", true, &newTree},
        {&remove, L"move-before:1", true, &oldTree},
        {&remove, L"move-after:1", false, &gone},
        {&remove, L"none", true, &gone},
    };
    for (const auto& [arguments, point, fresh, expected] : points) {
        SCOPED_TRACE(toUtf8(*arguments + L" " + point));
        EXPECT_EQ(killedAt(*arguments, point, fresh), *expected);
    }
}

} // namespace
} // namespace hub

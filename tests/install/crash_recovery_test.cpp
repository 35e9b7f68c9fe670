// An installation or removal killed at any point, followed by the recovery that the next run
// performs, leaves the target exactly as the old or exactly as the new version: never a mix,
// never missing. The work runs in a child process that kills itself at a chosen point (or is
// killed from here after a delay), as a crash or a killed hub would end it.
#include "install/engine_test_support.h"
#include "install/file_operations.h"
#include "install/processes.h"
#include "install/staged_activation.h"
#include "support/test_files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace hub {
namespace {

namespace fs = std::filesystem;
using test::FileTree;

constexpr std::uint32_t killedExitCode = 99;
constexpr int newFileCount = 6;

FileTree oldVersion() {
    return {{"manifest.json", R"({"package_version": "1.0.0"})"},
            {"old-only/data.bin", std::string(3000, 'o')},
            {"keep/user.ini", "the user's settings"},
            {"shared.txt", "old shared"}};
}

FileTree newVersion() {
    FileTree tree{{"manifest.json", R"({"package_version": "2.0.0"})"},
                  {"shared.txt", "new shared"}};
    for (int index = 0; index < newFileCount; ++index) {
        tree["content/file" + std::to_string(index) + ".bin"] =
            std::string(2000, static_cast<char>('a' + index));
    }
    return tree;
}

// The new version as it must arrive: with the preserved item carried over from the old one.
FileTree activatedVersion() {
    auto tree = newVersion();
    tree["keep/user.ini"] = "the user's settings";
    return tree;
}

std::wstring quoted(const fs::path& path) {
    return L"\"" + path.native() + L"\"";
}

enum class Outcome { Old, New, Absent };

class CrashRecoveryTest : public testing::Test {
protected:
    void SetUp() override {
        test::makeTree(source, newVersion());
        oldTree = treeOf(oldVersion(), L"old");
        newTree = treeOf(activatedVersion(), L"new");
    }

    FileTree treeOf(const FileTree& files, const wchar_t* name) {
        test::makeTree(temp / L"expected" / name, files);
        return test::readTree(temp / L"expected" / name);
    }

    void resetTarget() {
        for (const auto* suffix : {L"", L".orv-hub-staging", L".orv-hub-previous"}) {
            ASSERT_EQ(removeTree(target.native() + suffix), 0U);
        }
        test::makeTree(target, oldVersion());
    }

    [[nodiscard]] std::wstring installArguments(const std::wstring& killPoint) const {
        return L"install " + quoted(source) + L" " + quoted(target) + L" " + killPoint +
               L" keep\\user.ini";
    }

    [[nodiscard]] std::wstring removeArguments(const std::wstring& killPoint) const {
        return L"remove " + quoted(target) + L" " + killPoint;
    }

    // Runs the child to its kill point; true when it was killed, false when it finished.
    static bool runChild(const std::wstring& arguments) {
        const auto outcome = runAndWait(child, arguments, 60000, true);
        EXPECT_TRUE(outcome.finished);
        EXPECT_TRUE(outcome.exitCode == 0 || outcome.exitCode == killedExitCode)
            << "the child failed with " << outcome.exitCode;
        return outcome.exitCode == killedExitCode;
    }

    // Recovers as the next run would and tells which version the target now holds.
    Outcome recoverAndInspect(const std::wstring& point) {
        recoverInterruptedWork(target);
        for (const auto* suffix :
             {L".orv-hub-staging", L".orv-hub-previous", L".orv-hub-removing"}) {
            EXPECT_FALSE(fs::exists(target.native() + suffix)) << point << " left " << suffix;
        }
        if (!fs::exists(target)) {
            return Outcome::Absent;
        }
        const auto tree = test::readTree(target);
        if (tree == oldTree) {
            return Outcome::Old;
        }
        EXPECT_EQ(tree, newTree) << "killed at " << point << ": neither version";
        return Outcome::New;
    }

    Outcome installKilledAt(const std::wstring& point) {
        resetTarget();
        const bool killed = runChild(installArguments(point));
        EXPECT_EQ(killed, point != L"none") << point;
        return recoverAndInspect(point);
    }

    inline static const fs::path child = test::testProgram(L"hub_install_child.exe");
    test::TempFolder temp;
    fs::path source = temp / L"new version";
    fs::path target = temp / L"Community" / L"pkg";
    FileTree oldTree;
    FileTree newTree;
};

TEST_F(CrashRecoveryTest, InstallKilledBeforeTheSecondMoveComesBackAsTheOldVersion) {
    // Progress reports: 1 preparing, 2 copy start, then one per file, the copy's end and the
    // activation. Each child run costs a Wine process start, so the copy is sampled.
    const std::vector<std::wstring> points{L"progress:1",
                                           L"progress:2",
                                           L"progress:" + std::to_wstring(2 + newFileCount / 2),
                                           L"progress:" + std::to_wstring(newFileCount + 3),
                                           L"progress:" + std::to_wstring(newFileCount + 4),
                                           L"staged",
                                           L"move-before:1",
                                           L"move-after:1",
                                           L"move-before:2"};
    for (const auto& point : points) {
        EXPECT_EQ(installKilledAt(point), Outcome::Old) << "killed at " << point;
    }
}

TEST_F(CrashRecoveryTest, InstallKilledAfterTheSecondMoveComesBackAsTheNewVersion) {
    for (const auto* point : {L"move-after:2", L"none"}) {
        EXPECT_EQ(installKilledAt(point), Outcome::New) << "killed at " << point;
    }
}

TEST_F(CrashRecoveryTest, InstallKilledAtArbitraryMomentsIsNeverHalfDone) {
    resetTarget();
    const auto started = std::chrono::steady_clock::now();
    runChild(installArguments(L"none"));
    const auto fullRun = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - started)
                             .count();
    constexpr int moments = 5;
    for (int moment = 0; moment < moments; ++moment) {
        resetTarget();
        const auto delay = static_cast<DWORD>(fullRun * moment / moments);
        const auto process = startProcess(child, installArguments(L"none"), true);
        Sleep(delay);
        TerminateProcess(process.process.get(), killedExitCode);
        WaitForSingleObject(process.process.get(), 10000);
        const auto outcome = recoverAndInspect(L"after " + std::to_wstring(delay) + L" ms");
        EXPECT_NE(outcome, Outcome::Absent) << "after " << delay << " ms";
    }
}

TEST_F(CrashRecoveryTest, RemovalKilledAtAnyPointEndsWithTheFolderWholeOrGone) {
    resetTarget();
    EXPECT_TRUE(runChild(removeArguments(L"move-before:1")));
    EXPECT_EQ(recoverAndInspect(L"move-before:1"), Outcome::Old);
    EXPECT_TRUE(runChild(removeArguments(L"move-after:1")));
    EXPECT_EQ(recoverAndInspect(L"move-after:1"), Outcome::Absent);
    resetTarget();
    EXPECT_FALSE(runChild(removeArguments(L"none")));
    EXPECT_EQ(recoverAndInspect(L"none"), Outcome::Absent);
}

} // namespace
} // namespace hub

// An installation or removal killed at any point, followed by the recovery of the next run,
// leaves the target exactly as the old or exactly as the new version. The work runs in a child
// (tests/tools/install_child.cpp) that kills itself at a chosen point, as a crash would end it.
#include "install/processes.h"
#include "install/staged_activation.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

namespace fs = std::filesystem;
using test::FileTree;

constexpr std::uint32_t killedExitCode = 99;
constexpr int newFiles = 6;

class CrashRecovery : public testing::Test {
protected:
    CrashRecovery() {
        FileTree files{{"shared.txt", "new shared"}};
        for (int index = 0; index < newFiles; ++index) {
            files["content/file" + std::to_string(index) + ".bin"] = std::string(2000, 'a');
        }
        test::makeTree(source, files);
        files["keep/user.ini"] = "the user's settings";
        test::makeTree(temp / L"new", files);
        test::makeTree(temp / L"old", oldFiles);
        newTree = test::readTree(temp / L"new");
        oldTree = test::readTree(temp / L"old");
    }

    // Runs the child killed at the point, recovers as the next run would and returns the tree.
    FileTree killedAt(const std::wstring& arguments, const std::wstring& point, bool fresh = true) {
        if (fresh) {
            recoverInterruptedWork(target);
            EXPECT_EQ(removeTree(target), 0U);
            test::makeTree(target, oldFiles);
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

    const FileTree oldFiles{{"old-only/data.bin", std::string(3000, 'o')},
                            {"keep/user.ini", "the user's settings"},
                            {"shared.txt", "old shared"}};
    test::TempFolder temp;
    fs::path source = temp / L"new version";
    fs::path target = temp / L"Community" / L"pkg";
    std::wstring install = L"install \"" + source.native() + L"\" \"" + target.native() + L"\"";
    std::wstring remove = L"remove \"" + target.native() + L"\"";
    FileTree oldTree;
    FileTree newTree;
};

// Kill points across the whole install: the progress reports (1 preparing, 2 the copy's start,
// one per file, the copy's end, the activation), the staged folder, and both activation moves.
TEST_F(CrashRecovery, AnInstallComesBackAsTheOldOrTheNewVersionNeverAMix) {
    const std::pair<std::wstring, bool> points[] = {
        {L"progress:1", false},
        {L"progress:2", false},
        {L"progress:" + std::to_wstring(2 + newFiles / 2), false},
        {L"progress:" + std::to_wstring(newFiles + 3), false},
        {L"progress:" + std::to_wstring(newFiles + 4), false},
        {L"staged", false},
        {L"move-before:1", false},
        {L"move-after:1", false},
        {L"move-before:2", false},
        {L"move-after:2", true},
        {L"none", true},
    };
    for (const auto& [point, arrived] : points) {
        SCOPED_TRACE(std::string(point.begin(), point.end()));
        EXPECT_EQ(killedAt(install, point), arrived ? newTree : oldTree);
    }
}

TEST_F(CrashRecovery, ARemovalEndsWithTheFolderWholeOrGone) {
    EXPECT_EQ(killedAt(remove, L"move-before:1"), oldTree);
    EXPECT_EQ(killedAt(remove, L"move-after:1", false), FileTree{});
    EXPECT_EQ(killedAt(remove, L"none"), FileTree{});
}

} // namespace
} // namespace hub

#include "update/update_tool.h"

#include "app/executable_folder.h"
#include "fake_velopack.h"
#include "update/updater.h"
#include "util/paths.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

using test::FileTree;

// An installed hub: the tool in the root, the program and its manifest in "current".
const FileTree installed = {
    {"Update.exe", "tool"}, {"current/sq.version", "<package/>"}, {"current/hub.exe", "program"}};

TEST(UpdateToolTest, FoundInTheRootOfAnInstallation) {
    test::TempFolder root;
    test::makeTree(root.path(), installed);
    EXPECT_TRUE(samePath(locateUpdateTool(root / "current"), root / "Update.exe"));
}

// Each case takes one entry out of an installation and may put something else in its place
// (a name ending in '/' is a folder).
TEST(UpdateToolTest, NotFoundOutsideAnInstallation) {
    const struct {
        const char* removed;
        FileTree added;
    } cases[] = {
        {nullptr, {{".portable", ""}}},
        {nullptr, {{".portable/", ""}}},
        {"current/sq.version", {}},
        {"current/sq.version", {{"current/sq.version/", ""}}},
        {"Update.exe", {}},
        {"Update.exe", {{"Update.exe/", ""}}},
    };
    for (const auto& [removed, added] : cases) {
        test::TempFolder root;
        test::makeTree(root.path(), installed);
        if (removed != nullptr) {
            std::filesystem::remove(root / removed);
        }
        test::makeTree(root.path(), added);
        EXPECT_EQ(locateUpdateTool(root / "current"), std::filesystem::path{})
            << (removed ? removed : "") << " " << (added.empty() ? "" : added.begin()->first);
    }
}

TEST(UpdateToolTest, TheTestsThemselvesAreNoInstallation) {
    EXPECT_EQ(locateUpdateToolBesideExecutable(), locateUpdateTool(executableFolder()));
    EXPECT_EQ(Updater::locateUpdateTool(), std::filesystem::path{});
}

TEST(UpdateToolTest, StartsTheUninstallerDetached) {
    test::TempFolder root;
    test::makeTree(root.path(), installed);
    const auto tool = root / "Update.exe";
    std::filesystem::copy_file(test::testFolder() / "update-probe" / "update_hook_probe.exe", tool,
                               std::filesystem::copy_options::overwrite_existing);
    const auto record = root / "record.txt";
    test::ScopedEnvironmentVariable variable(L"HUB_PROBE_RECORD", record);

    startUninstaller(locateUpdateTool(root / "current"));

    EXPECT_TRUE(test::waitFor([&] {
        return std::filesystem::exists(record) && test::readFile(record) == "went on uninstall\n";
    }));
}

TEST(UpdateToolTest, AToolThatCannotStartIsReported) {
    test::TempFolder root;
    try {
        startUninstaller(root / "Update.exe");
        ADD_FAILURE() << "a missing tool was started";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()).rfind("Unable to start Update.exe: ", 0), 0u)
            << error.what();
    }
}

} // namespace
} // namespace hub

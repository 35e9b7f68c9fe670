#include "update/update_tool.h"

#include "hook_probe.h"
#include "update/updater.h"
#include "util/paths.h"
#include "util/text.h"

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

// The hub looks from its own executable's folder.
TEST(UpdateToolTest, FoundFromTheRunningProgram) {
    test::TempFolder root;
    test::makeTree(root.path(), installed);
    const test::HookProbe probe(root / "current" / "hub.exe");
    ASSERT_EQ(probe.run(L"locate-update-tool"), test::HookProbe::wentOnExitCode);
    const std::string prefix = "update tool: ";
    const std::string record = probe.record();
    ASSERT_EQ(record.rfind(prefix, 0), 0u) << record;
    EXPECT_TRUE(samePath(toWide(trimmed(record.substr(prefix.size()))), root / "Update.exe"))
        << record;
    EXPECT_EQ(Updater::locateUpdateTool(), std::filesystem::path{}) << "the tests are no install";
}

TEST(UpdateToolTest, StartsTheUninstallerDetached) {
    test::TempFolder root;
    test::makeTree(root.path(), installed);
    const test::HookProbe tool(root / "Update.exe");

    startUninstaller(locateUpdateTool(root / "current"));

    EXPECT_TRUE(test::waitFor([&] { return tool.record() == "went on uninstall\n"; }))
        << tool.record();
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

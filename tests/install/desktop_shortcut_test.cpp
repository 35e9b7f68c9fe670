#include "install/desktop_shortcut.h"

#include "install/engine_test_support.h"
#include "support/test_files.h"
#include "support/test_prefix.h"
#include "util/known_folder.h"

#include <windows.h>

#include <shlobj.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

namespace hub {
namespace {

namespace fs = std::filesystem;
using Microsoft::WRL::ComPtr;

constexpr const wchar_t* shortcutName = L"Orvantis Hub Test Tool";

struct LinkContents {
    std::wstring path;
    std::wstring arguments;
    std::wstring folder;
};

LinkContents readLink(const fs::path& file) {
    ComPtr<IShellLinkW> link;
    EXPECT_HRESULT_SUCCEEDED(
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)));
    ComPtr<IPersistFile> persist;
    EXPECT_HRESULT_SUCCEEDED(link.As(&persist));
    EXPECT_HRESULT_SUCCEEDED(persist->Load(file.c_str(), STGM_READ));
    wchar_t path[MAX_PATH]{};
    wchar_t arguments[1024]{};
    wchar_t folder[MAX_PATH]{};
    link->GetPath(path, MAX_PATH, nullptr, 0);
    link->GetArguments(arguments, 1024);
    link->GetWorkingDirectory(folder, MAX_PATH);
    return {path, arguments, folder};
}

class DesktopShortcutTest : public testing::Test {
protected:
    void SetUp() override {
        HUB_REQUIRE_TEST_PREFIX();
        ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        initialised = true;
        fs::create_directories(executable.parent_path());
        fs::copy_file(test::testProgram(L"hub_test_child.exe"), executable);
        shortcut = knownFolderPath(FOLDERID_Desktop) / (std::wstring(shortcutName) + L".lnk");
    }

    void TearDown() override {
        if (initialised) {
            std::error_code ignored;
            fs::remove(shortcut, ignored);
            CoUninitialize();
        }
    }

    bool initialised = false;
    test::TempFolder temp;
    fs::path executable = temp / L"Test Tool" / L"tool.exe";
    fs::path shortcut;
};

TEST_F(DesktopShortcutTest, WritingTwiceLeavesOneShortcutWithTheSecondSettings) {
    createDesktopShortcut(executable, L"--first", shortcutName);
    createDesktopShortcut(executable, L"--profile \"Second One\"", shortcutName);
    const auto contents = readLink(shortcut);
    EXPECT_TRUE(fs::equivalent(contents.path, executable)) << contents.path;
    EXPECT_EQ(contents.arguments, L"--profile \"Second One\"");
    EXPECT_TRUE(fs::equivalent(contents.folder, executable.parent_path())) << contents.folder;
    int shortcuts = 0;
    for (const auto& entry : fs::directory_iterator(shortcut.parent_path())) {
        shortcuts += entry.path().filename().native().starts_with(shortcutName) ? 1 : 0;
    }
    EXPECT_EQ(shortcuts, 1);
}

TEST_F(DesktopShortcutTest, EmptyArgumentsSetNone) {
    createDesktopShortcut(executable, L"", shortcutName);
    EXPECT_EQ(readLink(shortcut).arguments, L"");
}

TEST_F(DesktopShortcutTest, MissingExecutableIsRefused) {
    EXPECT_EQ(
        test::failureOf([&] { createDesktopShortcut(temp / L"missing.exe", L"", shortcutName); }),
        "The application executable cannot be found.");
    EXPECT_EQ(test::failureOf([&] { createDesktopShortcut(temp.path(), L"", shortcutName); }),
              "The application executable cannot be found.")
        << "a folder is no executable";
    EXPECT_FALSE(fs::exists(shortcut));
}

} // namespace
} // namespace hub

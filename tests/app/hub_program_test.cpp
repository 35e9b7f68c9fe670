#include "app/single_instance.h"
#include "util/executable_folder.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/unique_handle.h"

#include "support/test_files.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sddl.h>
#include <windows.h>

#include <string>

namespace hub {
namespace {

using test::TempFolder;

// Starts the real program from a folder of its own and answers its message boxes.
class HubProgram : public testing::Test {
protected:
    void SetUp() override {
        HUB_REQUIRE_TEST_PREFIX();
        std::filesystem::copy_file(executableFolder().parent_path() / L"OrvantisHub.exe",
                                   folder_ / L"OrvantisHub.exe");
    }
    void TearDown() override {
        for (auto& process : started_) {
            if (WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
                TerminateProcess(process.get(), 99);
                WaitForSingleObject(process.get(), INFINITE);
                ADD_FAILURE() << "the program was still running";
            }
        }
    }

    void giveInterface() { test::makeTree(folder_.path(), {{"ui/index.html", "<html></html>"}}); }

    HANDLE start(const wchar_t* runtimeFolder = nullptr) {
        SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", runtimeFolder);
        std::wstring command = L"\"" + (folder_ / L"OrvantisHub.exe").native() + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        const BOOL created = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                            nullptr, folder_.path().c_str(), &startup, &process);
        SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", nullptr);
        EXPECT_TRUE(created);
        CloseHandle(process.hThread);
        processIds_.push_back(process.dwProcessId);
        return started_.emplace_back(process.hProcess).get();
    }

    // The first visible top-level window of that class (and caption) of the process; null when
    // the process ended without one. Waits on the process between looks.
    static HWND waitForWindow(HANDLE process, const wchar_t* className, const wchar_t* caption) {
        for (int look = 0; look < 800; ++look) {
            if (const HWND window = findWindow(GetProcessId(process), className, caption)) {
                return window;
            }
            if (WaitForSingleObject(process, 25) == WAIT_OBJECT_0) {
                return nullptr;
            }
        }
        return nullptr;
    }

    static HWND findWindow(DWORD processId, const wchar_t* className, const wchar_t* caption) {
        for (HWND window = FindWindowExW(nullptr, nullptr, className, caption); window != nullptr;
             window = FindWindowExW(nullptr, window, className, caption)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == processId && IsWindowVisible(window)) {
                return window;
            }
        }
        return nullptr;
    }

    // Reads a message box's text and presses its button.
    static std::wstring answer(HWND box, int button) {
        wchar_t text[512] = {};
        GetWindowTextW(GetDlgItem(box, 0xFFFF), text, 512);
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
        return text;
    }

    static DWORD exitCode(HANDLE process) {
        EXPECT_EQ(WaitForSingleObject(process, 30000), WAIT_OBJECT_0);
        DWORD code = 259;
        GetExitCodeProcess(process, &code);
        return code;
    }

    TempFolder folder_;
    std::vector<UniqueHandle> started_;
    std::vector<DWORD> processIds_;
};

TEST_F(HubProgram, WithoutRuntimeReportsItAndKeepsTheWindowThenASecondStartLeaves) {
    giveInterface();
    const HANDLE hub = start();
    const HWND box = waitForWindow(hub, L"#32770", L"Orvantis Hub");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(answer(box, IDOK), L"WebView2 Runtime is missing or could not start.");
    const HWND window = waitForWindow(hub, L"OrvantisHubWindow", L"Orvantis Hub");
    ASSERT_NE(window, nullptr);

    const HANDLE second = start();
    EXPECT_EQ(exitCode(second), 0u);
    EXPECT_EQ(findWindow(processIds_.back(), L"OrvantisHubWindow", nullptr), nullptr);

    // Once the window is gone a new start runs, even while the first one still ends its work.
    PostMessageW(window, WM_CLOSE, 0, 0);
    while (IsWindow(window) && WaitForSingleObject(hub, 25) == WAIT_TIMEOUT) {
    }
    const HANDLE third = start();
    const HWND thirdBox = waitForWindow(third, L"#32770", L"Orvantis Hub");
    ASSERT_NE(thirdBox, nullptr);
    answer(thirdBox, IDOK);
    PostMessageW(waitForWindow(third, L"OrvantisHubWindow", nullptr), WM_CLOSE, 0, 0);
    EXPECT_EQ(exitCode(hub), 0u);
    EXPECT_EQ(exitCode(third), 0u);
    EXPECT_FALSE(std::filesystem::exists(folder_ / L"orv-hub-error.log"));
}

TEST_F(HubProgram, StartFailuresAreLoggedShownAndEndTheProcess) {
    const std::wstring runtime = (executableFolder() / L"fake-webview2").native();
    struct Row {
        const char* name;
        bool interface;
        const wchar_t* runtimeFolder;
        std::string message;
    };
    const Row rows[] = {
        {"no interface", false, nullptr,
         "React interface not found in '" + pathToUtf8(folder_ / L"ui") + "'"},
        // The window exists by then: it must be gone before the box, not reached from its loop.
        {"runtime refuses at once", true, runtime.c_str(), "unable to initialize WebView2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.interface) {
            giveInterface();
        }
        test::writeFile(folder_ / L"orv-hub-error.log", "an earlier failure\n");
        const HANDLE hub = start(row.runtimeFolder);
        const HWND box = waitForWindow(hub, L"#32770", L"Orvantis Hub - startup error");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(findWindow(GetProcessId(hub), L"OrvantisHubWindow", nullptr), nullptr);
        EXPECT_EQ(answer(box, IDOK), toWide(row.message));
        EXPECT_EQ(exitCode(hub), 1u);
        EXPECT_EQ(test::readFile(folder_ / L"orv-hub-error.log"), row.message + "\n");
    }
}

TEST(SingleInstance, OneClaimPerNameAndAnElevatedHolderCounts) {
    const std::wstring name = L"Local\\OrvantisHub.Test." + std::to_wstring(GetCurrentProcessId());
    {
        SingleInstance first(name);
        EXPECT_FALSE(first.anotherRunning());
        EXPECT_TRUE(SingleInstance(name).anotherRunning());
        first.release();
        EXPECT_FALSE(SingleInstance(name).anotherRunning());
    }
    // A mutex that nobody may open, as one made by an elevated hub is to a normal one.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(D;;GA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    const UniqueHandle locked(CreateMutexW(&attributes, FALSE, (name + L".locked").c_str()));
    LocalFree(descriptor);
    ASSERT_TRUE(locked);
    if (const UniqueHandle opened(OpenMutexW(SYNCHRONIZE, FALSE, (name + L".locked").c_str()));
        opened) {
        GTEST_SKIP() << "Wine does not check access to named objects";
    }
    EXPECT_TRUE(SingleInstance(name + L".locked").anotherRunning());
}

} // namespace
} // namespace hub

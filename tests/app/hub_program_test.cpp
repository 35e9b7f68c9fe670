#include "app/single_instance.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/unique_handle.h"

#include "fake_velopack_script.h"
#include "support/test_support.h"

#include <sddl.h>

namespace hub {
namespace {

// Starts the real program from a folder of its own and answers its message boxes.
class HubProgram : public testing::Test {
protected:
    void SetUp() override {
        HUB_REQUIRE_TEST_PREFIX();
        std::filesystem::copy_file(executableFolder().parent_path() / L"OrvantisHub.exe",
                                   folder_ / L"OrvantisHub.exe");
    }
    void TearDown() override {
        for (auto& process : started_) { // left running only after a failed check
            TerminateProcess(process.get(), 99);
            WaitForSingleObject(process.get(), INFINITE);
        }
    }

    HANDLE start(const wchar_t* runtimeFolder = nullptr) {
        SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", runtimeFolder);
        started_.emplace_back(test::startHub(folder_.path()));
        SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", nullptr);
        return started_.back().get(); // null fails the first wait for a window
    }

    static std::wstring answer(HWND box) {
        wchar_t text[512] = L"no box";
        GetWindowTextW(GetDlgItem(box, 0xFFFF), text, 512);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return text;
    }

    static DWORD exitCode(HANDLE process) {
        EXPECT_EQ(WaitForSingleObject(process, 30000), WAIT_OBJECT_0);
        DWORD code = 259;
        GetExitCodeProcess(process, &code);
        return code;
    }

    test::TempFolder folder_;
    std::vector<UniqueHandle> started_;
};

// A start while the window is open leaves at once; once that window is gone a new start runs.
TEST_F(HubProgram, WithoutRuntimeReportsItAndKeepsTheWindowThenASecondStartLeaves) {
    test::makeTree(folder_.path(), {{"ui/index.html", "<html></html>"}});
    for (const bool first : {true, false}) {
        SCOPED_TRACE(first ? "first start" : "start after the window closed");
        const HANDLE hub = start();
        EXPECT_EQ(answer(test::waitForWindow(hub, L"#32770", L"Orvantis Hub")),
                  L"WebView2 Runtime is missing or could not start.");
        const HWND window = test::waitForWindow(hub, L"OrvantisHubWindow");
        ASSERT_NE(window, nullptr);
        if (first) {
            EXPECT_EQ(exitCode(start()), 0u) << "a start beside the open window";
        }
        PostMessageW(window, WM_CLOSE, 0, 0);
        while (IsWindow(window) && WaitForSingleObject(hub, 25) == WAIT_TIMEOUT) {
        }
    }
    for (const auto& process : started_) {
        EXPECT_EQ(exitCode(process.get()), 0u);
    }
    EXPECT_FALSE(std::filesystem::exists(folder_ / L"orv-hub-error.log"));
}

// A start while a hub still ends its work after its window closed waits until that hub has
// ended, then runs: two hubs never work on the same folders. The first one's end is held by its
// update check, which the update library's test double holds until it is released.
TEST_F(HubProgram, AStartWaitsUntilAClosingHubHasEnded) {
    test::makeTree(folder_.path(), {{"ui/index.html", "<html></html>"}});
    std::filesystem::copy_file(executableFolder() / L"velopack_libc.dll",
                               folder_ / L"velopack_libc.dll");
    const test::DownloadGate check;
    const test::FakeVelopack velopack({{"check", 1}, {"holdCheck", check.name()}});
    const HANDLE first = start();
    answer(test::waitForWindow(first, L"#32770", L"Orvantis Hub"));
    const HWND window = test::waitForWindow(first, L"OrvantisHubWindow");
    PostMessageW(window, WM_CLOSE, 0, 0);
    while (IsWindow(window) && WaitForSingleObject(first, 25) == WAIT_TIMEOUT) {
    }
    // Two waiting starts must not keep the name alive for each other: one runs, the other
    // brings its window forward and leaves.
    const HANDLE waiting[] = {start(), start()};
    EXPECT_EQ(WaitForSingleObject(first, 2000), WAIT_TIMEOUT) << "the first still ends its work";
    for (const HANDLE hub : waiting) {
        EXPECT_EQ(test::waitForWindow(hub, L"#32770", nullptr, 0), nullptr) << "it waits";
    }
    check.release();
    EXPECT_EQ(exitCode(first), 0u);
    const DWORD left = WaitForMultipleObjects(2, waiting, FALSE, 30000) - WAIT_OBJECT_0;
    ASSERT_LT(left, 2u);
    const HANDLE runs = waiting[1 - left];
    EXPECT_NE(test::waitForWindow(runs, L"OrvantisHubWindow", nullptr, 0), nullptr) << "forward";
    EXPECT_EQ(exitCode(waiting[left]), 0u);
    EXPECT_EQ(answer(test::waitForWindow(runs, L"#32770", L"Orvantis Hub")),
              L"WebView2 Runtime is missing or could not start.");
    PostMessageW(test::waitForWindow(runs, L"OrvantisHubWindow"), WM_CLOSE, 0, 0);
    EXPECT_EQ(exitCode(runs), 0u);
}

TEST_F(HubProgram, StartFailuresAreLoggedShownAndEndTheProcess) {
    const std::wstring runtime = (executableFolder() / L"fake-webview2").native();
    for (const bool withInterface : {false, true}) {
        // A refusing runtime: the window exists by then and must be gone before the box shows.
        const std::string message =
            withInterface ? "unable to initialize WebView2"
                          : "React interface not found in '" + pathToUtf8(folder_ / L"ui") + "'";
        SCOPED_TRACE(message);
        if (withInterface) {
            test::makeTree(folder_.path(), {{"ui/index.html", "<html></html>"}});
        }
        test::writeFile(folder_ / L"orv-hub-error.log", "an earlier failure\n");
        const HANDLE hub = start(withInterface ? runtime.c_str() : nullptr);
        const HWND box = test::waitForWindow(hub, L"#32770", L"Orvantis Hub - startup error");
        EXPECT_EQ(test::waitForWindow(hub, L"OrvantisHubWindow", nullptr, 0), nullptr);
        EXPECT_EQ(answer(box), toWide(message));
        EXPECT_EQ(exitCode(hub), 1u);
        EXPECT_EQ(test::readFile(folder_ / L"orv-hub-error.log"), message + "\n");
    }
}

// A mutex nobody may open, as one made by an elevated hub is to a normal one, still counts as
// another instance (one claim per name shows in the program's second start).
TEST(SingleInstance, AnElevatedHolderCounts) {
    const std::wstring name = L"Local\\OrvantisHub.Test." + std::to_wstring(GetCurrentProcessId());
    PSECURITY_DESCRIPTOR denied = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(D;;GA;;;WD)", SDDL_REVISION_1, &denied, nullptr));
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), denied, FALSE};
    const UniqueHandle locked(CreateMutexW(&attributes, FALSE, name.c_str()));
    LocalFree(denied);
    if (UniqueHandle(OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()))) {
        GTEST_SKIP() << "Wine does not check access to named objects";
    }
    EXPECT_TRUE(SingleInstance(name).anotherRunning());
}

} // namespace
} // namespace hub

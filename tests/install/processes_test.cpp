// Child processes (the test child, tests/tools/test_child.cpp, reports its command line, folder
// and environment), the running-process checks, the shell and the desktop shortcut.
#include "install/desktop_shortcut.h"
#include "install/processes.h"

#include "support/test_support.h"
#include "util/known_folder.h"
#include "util/text.h"

#include <windows.h>

#include <shlobj.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

namespace hub {
namespace {

namespace fs = std::filesystem;

class Processes : public testing::Test {
protected:
    [[nodiscard]] fs::path childAt(const fs::path& relative) const {
        const auto path = temp / relative;
        fs::create_directories(path.parent_path());
        fs::copy_file(test::testProgram(L"hub_test_child.exe"), path);
        return path;
    }
    // The child's report: its command line, its folder, then its environment, a line each.
    [[nodiscard]] std::vector<std::wstring> report() const {
        const std::string bytes = test::readFile(reportFile);
        std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
        std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
        std::wistringstream stream(text);
        std::vector<std::wstring> lines;
        for (std::wstring line; std::getline(stream, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    test::TempFolder temp;
    fs::path reportFile = temp / L"report.bin";
    test::ScopedVariable reporting{L"HUB_CHILD_REPORT", reportFile.native()};
};

TEST_F(Processes, AChildGetsItsQuotedPathItsFolderAndNoWebViewSettingsAttachedOrNot) {
    const test::ScopedVariable variables[] = {{L"webview2_user_data_folder", L"x"},
                                              {L"WebView2_Additional_Browser_Arguments", L"y"},
                                              {L"WEBVIEW2", L"kept"},
                                              {L"HUB_TEST_OTHER", L"kept"}};
    const auto app = childAt(L"My App/app.exe");
    for (const std::wstring arguments : {L"--stop \"a b\"", L""}) {
        EXPECT_EQ(runAndWait(app, arguments, 20000, true).exitCode, 0U);
        const auto lines = report();
        EXPECT_EQ(lines[0],
                  L"\"" + app.native() + L"\"" + (arguments.empty() ? L"" : L" ") + arguments);
        EXPECT_TRUE(fs::equivalent(lines[1], temp / L"My App"));
        const auto has = [&](std::wstring_view entry) {
            return std::find(lines.begin(), lines.end(), entry) != lines.end();
        };
        EXPECT_FALSE(has(L"webview2_user_data_folder=x") ||
                     has(L"WebView2_Additional_Browser_Arguments=y"));
        EXPECT_TRUE(has(L"WEBVIEW2=kept") && has(L"HUB_TEST_OTHER=kept"));
    }
    const std::wstring block = childEnvironment();
    EXPECT_EQ(block.substr(block.size() - 2), std::wstring(2, L'\0'));
    startDetached(app, L"--launched");
    ASSERT_TRUE(test::waitForProcessesNamed(L"app.exe"));
    EXPECT_EQ(report().at(0), L"\"" + app.native() + L"\" --launched") << "a detached child";
}

// Exit codes and start failures: see the uninstall command's rows in the operation tests.
TEST_F(Processes, AChildThatOutlivesItsTimeIsEndedAndTheShellReportsFailures) {
    const auto sleeper = childAt(L"hub-test-sleeper.exe");
    EXPECT_FALSE(runAndWait(sleeper, L"sleep 60000", 200, true).finished);
    EXPECT_FALSE(isProcessNamed(listProcesses(), L"hub-test-sleeper.exe")) << "still running";
    EXPECT_EQ(test::failureOf([&] { openWithShell((temp / L"missing.txt").native()); }),
              "Unable to open " + toUtf8((temp / L"missing.txt").native()));
}

// Two processes of the same name: the one that runs elsewhere must not hide the one asked for,
// whichever of them the snapshot lists first.
TEST_F(Processes, RunningAtComparesTheWholePath) {
    const auto first = childAt(L"first/runner.exe");
    const auto second = childAt(L"second/runner.exe");
    const auto one = startProcess(first, L"sleep 60000", true);
    const auto two = startProcess(second, L"sleep 60000", true);
    std::vector<ProcessEntry> runners{{L"RUNNER.exe", one.processId},
                                      {L"RUNNER.exe", two.processId}};
    std::wstring upper = second.native();
    std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
    for (int order = 0; order < 2; ++order) {
        EXPECT_TRUE(isProcessRunningAt(runners, first));
        EXPECT_TRUE(isProcessRunningAt(runners, upper + L"\\"));
        EXPECT_FALSE(isProcessRunningAt(runners, temp / L"third/runner.exe"));
        std::reverse(runners.begin(), runners.end());
    }
    EXPECT_TRUE(isProcessNamed(listProcesses(), L"Runner.EXE"));
    EXPECT_FALSE(isProcessRunningAt({{L"runner.exe", 0xFFFFFFF0}}, first)) << "cannot be opened";
    for (const auto* child : {&one, &two}) {
        TerminateProcess(child->process.get(), 1);
        WaitForSingleObject(child->process.get(), 5000);
    }
}

// Writes the real Desktop: in the test prefix only.
TEST(ShortcutInProfile, ADesktopShortcutIsWrittenOnceWithTheLastSettings) {
    HUB_REQUIRE_TEST_PREFIX();
    using Microsoft::WRL::ComPtr;
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    const test::TempFolder temp;
    const auto executable = temp / L"Test Tool" / L"tool.exe";
    test::makeTree(executable.parent_path(), {{"tool.exe", "MZ"}});
    const wchar_t* name = L"Orvantis Hub Test Tool";
    const auto shortcut = knownFolderPath(FOLDERID_Desktop) / (std::wstring(name) + L".lnk");
    EXPECT_EQ(test::failureOf([&] { createDesktopShortcut(temp.path(), L"", name); }),
              "The application executable cannot be found.");
    EXPECT_FALSE(fs::exists(shortcut));
    createDesktopShortcut(executable, L"--first", name);
    createDesktopShortcut(executable, L"--profile \"Second One\"", name);
    {
        ComPtr<IShellLinkW> link;
        ASSERT_HRESULT_SUCCEEDED(
            CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)));
        ComPtr<IPersistFile> file;
        ASSERT_HRESULT_SUCCEEDED(link.As(&file));
        ASSERT_HRESULT_SUCCEEDED(file->Load(shortcut.c_str(), STGM_READ));
        wchar_t path[MAX_PATH]{}, arguments[1024]{}, folder[MAX_PATH]{};
        link->GetPath(path, MAX_PATH, nullptr, 0);
        link->GetArguments(arguments, 1024);
        link->GetWorkingDirectory(folder, MAX_PATH);
        EXPECT_TRUE(fs::equivalent(path, executable));
        EXPECT_EQ(std::wstring(arguments), L"--profile \"Second One\"");
        EXPECT_TRUE(fs::equivalent(folder, executable.parent_path()));
    }
    EXPECT_EQ(std::count_if(
                  fs::directory_iterator(shortcut.parent_path()), {},
                  [&](auto& entry) { return entry.path().filename().native().starts_with(name); }),
              1);
    fs::remove(shortcut);
    CoUninitialize();
}

} // namespace
} // namespace hub

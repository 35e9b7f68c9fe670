#include "install/processes.h"

#include "install/engine_test_support.h"
#include "support/test_files.h"
#include "util/text.h"
#include "util/windows_error.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>

namespace hub {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable of this process for one test and restores it afterwards.
class ScopedVariable {
public:
    ScopedVariable(std::wstring name, const std::wstring& value) : name_(std::move(name)) {
        wchar_t buffer[32768];
        const DWORD length = GetEnvironmentVariableW(name_.c_str(), buffer, 32768);
        if (length > 0) {
            saved_ = std::wstring(buffer, length);
        }
        SetEnvironmentVariableW(name_.c_str(), value.c_str());
    }
    ~ScopedVariable() {
        SetEnvironmentVariableW(name_.c_str(), saved_ ? saved_->c_str() : nullptr);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::wstring name_;
    std::optional<std::wstring> saved_;
};

// What the test child wrote about itself: its command line, its folder and its environment.
struct ChildReport {
    std::wstring commandLine;
    std::wstring folder;
    std::vector<std::wstring> environment;

    [[nodiscard]] bool hasVariable(std::wstring_view name) const {
        return std::any_of(environment.begin(), environment.end(), [&](const std::wstring& entry) {
            return entry.size() > name.size() && entry.compare(0, name.size(), name) == 0 &&
                   entry[name.size()] == L'=';
        });
    }
};

class ProcessesTest : public testing::Test {
protected:
    // The test child copied to a path of the test's choosing.
    [[nodiscard]] fs::path childAt(const fs::path& relative) const {
        const auto path = temp / relative;
        fs::create_directories(path.parent_path());
        fs::copy_file(test::testProgram(L"hub_test_child.exe"), path);
        return path;
    }

    ChildReport runReporting(const fs::path& executable, std::wstring_view arguments) {
        const ScopedVariable report(L"HUB_CHILD_REPORT", reportFile.native());
        const auto outcome = runAndWait(executable, arguments, 20000, true);
        EXPECT_TRUE(outcome.finished);
        return readReport();
    }

    [[nodiscard]] ChildReport readReport() const {
        const std::string bytes = test::readFile(reportFile);
        std::wistringstream lines(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()),
                                               bytes.size() / sizeof(wchar_t)));
        ChildReport report;
        std::getline(lines, report.commandLine);
        std::getline(lines, report.folder);
        for (std::wstring line; std::getline(lines, line);) {
            report.environment.push_back(line);
        }
        return report;
    }

    test::TempFolder temp;
    fs::path reportFile = temp / L"report.bin";
};

TEST_F(ProcessesTest, CommandLineIsTheQuotedPathAndTheArgumentsUnchanged) {
    const auto app = childAt(L"My App/app.exe");
    const auto report = runReporting(app, L"--stop \"a b\"");
    EXPECT_EQ(report.commandLine, L"\"" + app.native() + L"\" --stop \"a b\"");
    EXPECT_TRUE(fs::equivalent(report.folder, temp / L"My App")) << report.folder;
}

TEST_F(ProcessesTest, EmptyArgumentsLeaveNoTrailingBlank) {
    const auto app = childAt(L"My App/app.exe");
    EXPECT_EQ(runReporting(app, L"").commandLine, L"\"" + app.native() + L"\"");
}

TEST_F(ProcessesTest, ChildrenDoNotInheritTheWebViewVariables) {
    const ScopedVariable lower(L"webview2_user_data_folder", L"x");
    const ScopedVariable upper(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"y");
    const ScopedVariable mixed(L"WebView2_Additional_Browser_Arguments", L"z");
    const ScopedVariable shortName(L"WEBVIEW", L"kept");
    const ScopedVariable noUnderscore(L"WEBVIEW2", L"kept");
    const ScopedVariable other(L"HUB_TEST_OTHER", L"kept");
    const auto report = runReporting(childAt(L"child.exe"), L"");
    EXPECT_FALSE(report.hasVariable(L"webview2_user_data_folder"));
    EXPECT_FALSE(report.hasVariable(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER"));
    EXPECT_FALSE(report.hasVariable(L"WebView2_Additional_Browser_Arguments"));
    EXPECT_TRUE(report.hasVariable(L"WEBVIEW"));
    EXPECT_TRUE(report.hasVariable(L"WEBVIEW2"));
    EXPECT_TRUE(report.hasVariable(L"HUB_TEST_OTHER"));
    EXPECT_TRUE(report.hasVariable(L"HUB_CHILD_REPORT"));
}

TEST_F(ProcessesTest, ChildEnvironmentIsADoubleNulTerminatedBlock) {
    const ScopedVariable dropped(L"WEBVIEW2_TEST", L"x");
    const ScopedVariable kept(L"HUB_TEST_KEPT", L"value");
    const std::wstring block = childEnvironment();
    ASSERT_GE(block.size(), 2U);
    EXPECT_EQ(block.substr(block.size() - 2), std::wstring(2, L'\0'));
    EXPECT_NE(block.find(std::wstring(L"\0HUB_TEST_KEPT=value\0", 21)), std::wstring::npos);
    EXPECT_EQ(block.find(L"WEBVIEW2_TEST"), std::wstring::npos);
}

TEST_F(ProcessesTest, ExitCodeIsReported) {
    const auto outcome = runAndWait(childAt(L"child.exe"), L"exit 42", 20000, true);
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 42U);
}

TEST_F(ProcessesTest, ChildThatOutlivesTheTimeOutIsStoppedAndReportedUnfinished) {
    const auto sleeper = childAt(L"hub-test-sleeper.exe");
    const auto outcome = runAndWait(sleeper, L"sleep 60000", 200, true);
    EXPECT_FALSE(outcome.finished);
    EXPECT_FALSE(isProcessRunningAt(listProcesses(), sleeper)) << "the child still runs";
}

TEST_F(ProcessesTest, MissingExecutableFailsWithItsName) {
    EXPECT_EQ(test::failureOf([&] { runAndWait(temp / L"missing.exe", L"", 1000, true); }),
              windowsError("Unable to start missing.exe", ERROR_FILE_NOT_FOUND).what());
}

TEST_F(ProcessesTest, DetachedChildRunsOn) {
    const ScopedVariable report(L"HUB_CHILD_REPORT", reportFile.native());
    const auto app = childAt(L"detached.exe");
    startDetached(app, L"--launched");
    for (int wait = 0; wait < 200 && !fs::exists(reportFile); ++wait) {
        Sleep(50);
    }
    Sleep(100); // the child may still be writing
    EXPECT_EQ(readReport().commandLine, L"\"" + app.native() + L"\" --launched");
}

TEST_F(ProcessesTest, RunningAtComparesTheWholePathIgnoringCaseAndTrailingSeparators) {
    const auto running = childAt(L"first/runner.exe");
    const auto elsewhere = childAt(L"second/runner.exe");
    const auto child = startProcess(running, L"sleep 60000", true);
    const auto processes = listProcesses();
    std::wstring upper = running.native();
    std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
    EXPECT_TRUE(isProcessRunningAt(processes, running));
    EXPECT_TRUE(isProcessRunningAt(processes, upper));
    EXPECT_TRUE(isProcessRunningAt(processes, running.native() + L"\\"));
    EXPECT_FALSE(isProcessRunningAt(processes, elsewhere));
    EXPECT_TRUE(isProcessNamed(processes, L"RUNNER.EXE"));
    TerminateProcess(child.process.get(), 1);
    WaitForSingleObject(child.process.get(), 5000);
}

TEST(ProcessNameTest, NamesCompareIgnoringCase) {
    const std::vector<ProcessEntry> processes{{L"explorer.exe", 10},
                                              {L"flightsimulator2024.exe", 20}};
    EXPECT_TRUE(isProcessNamed(processes, L"FlightSimulator2024.exe"));
    EXPECT_FALSE(isProcessNamed(processes, L"FlightSimulator.exe"));
    EXPECT_FALSE(isProcessNamed({}, L"explorer.exe"));
}

TEST(ProcessNameTest, ProcessThatCannotBeOpenedNeverCounts) {
    const std::vector<ProcessEntry> processes{{L"app.exe", 0xFFFFFFF0}};
    EXPECT_FALSE(isProcessRunningAt(processes, L"C:\\Apps\\app.exe"));
}

TEST(ShellTest, MissingTargetFailsWithTheTarget) {
    test::TempFolder temp;
    const auto missing = (temp / L"missing document.txt").native();
    EXPECT_EQ(test::failureOf([&] { openWithShell(missing); }),
              "Unable to open " + toUtf8(missing));
}

} // namespace
} // namespace hub

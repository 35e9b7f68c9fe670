#pragma once

#include "install/file_operations.h"
#include "install/operation_cancelled.h"
#include "install/progress_callback.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace hub::test {

// The text of the exception a call ends with, exactly as the user would read it; "cancelled"
// for OperationCancelled and "no failure" when the call returns.
template <typename Call> std::string failureOf(Call call) {
    try {
        call();
    } catch (const OperationCancelled&) {
        return "cancelled";
    } catch (const std::exception& error) {
        return error.what();
    }
    return "no failure";
}

// Every progress report a callback receives, in order.
struct ProgressRecorder {
    std::vector<std::pair<double, std::string>> reports;
    ProgressCallback callback = [this](double fraction, const std::string& text) {
        reports.emplace_back(fraction, text);
    };
    // The distinct texts in the order they first followed one another.
    [[nodiscard]] std::vector<std::string> phases() const;
};

// Sets an environment variable of this process (and so of its children) and restores the old
// value at scope exit.
class ScopedVariable {
public:
    ScopedVariable(std::wstring name, const std::wstring& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::wstring name_;
    std::optional<std::wstring> saved_;
};

// Records the folder moves of a test and refuses chosen ones; removed again at scope exit.
class MoveRecorder {
public:
    using Refusal = std::function<std::optional<std::uint32_t>(const std::filesystem::path& from,
                                                               const std::filesystem::path& to)>;
    explicit MoveRecorder(Refusal refusal = {});
    ~MoveRecorder();
    MoveRecorder(const MoveRecorder&) = delete;
    MoveRecorder& operator=(const MoveRecorder&) = delete;

    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> moves;

private:
    Refusal refusal_;
};

// A small program built for the tests (see hub_add_test_program), beside the test executable.
std::filesystem::path testProgram(const wchar_t* name);

// Starts FOLDER\OrvantisHub.exe in FOLDER; its process handle (null when it cannot start).
HANDLE startHub(const std::filesystem::path& folder);

// The first visible top-level window of that class (and caption, when given) of the process.
HWND findWindow(DWORD processId, const wchar_t* className, const wchar_t* caption = nullptr);

// Looks for that window every STEP milliseconds, waiting on the process in between; null when the
// process ends without one.
HWND waitForWindow(HANDLE process, const wchar_t* className, const wchar_t* caption = nullptr,
                   DWORD step = 25);

// True when running under Wine rather than Windows.
bool runningUnderWine();

// True only inside the build's own Wine prefix, as started by the test harness: the harness
// names the prefix in HUB_TEST_PREFIX and the prefix carries a marker file.
bool insideTestPrefix();

} // namespace hub::test

// Tests that write the real per-user folders (AppData, Desktop) start with this, so that
// nobody's real profile is ever touched by a test run outside the harness.
#define HUB_REQUIRE_TEST_PREFIX()                                                                  \
    do {                                                                                           \
        if (!::hub::test::insideTestPrefix()) {                                                    \
            GTEST_SKIP() << "writes per-user folders: runs only in the harness's Wine prefix";     \
        }                                                                                          \
    } while (false)

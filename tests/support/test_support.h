#pragma once

#include "install/file_operations.h"
#include "install/operation_cancelled.h"
#include "install/progress_callback.h"
#include "util/executable_folder.h"
#include "util/unique_handle.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hub::test {

// What a call ends with as the user would read it: "cancelled" or "no failure" when no error.
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

struct ProgressRecorder {
    std::vector<std::pair<double, std::string>> reports;
    ProgressCallback callback = [this](double fraction, const std::string& text) {
        reports.emplace_back(fraction, text);
    };
    // The texts reported, each run of the same text once.
    [[nodiscard]] std::vector<std::string> phases() const {
        std::vector<std::string> phases;
        for (const auto& report : reports) {
            if (phases.empty() || phases.back() != report.second) {
                phases.push_back(report.second);
            }
        }
        return phases;
    }
};

// Sets an environment variable of this process (and its children) until scope exit.
class ScopedVariable {
public:
    ScopedVariable(std::wstring name, const std::wstring& value);
    ~ScopedVariable() {
        SetEnvironmentVariableW(name_.c_str(), saved_ ? saved_->c_str() : nullptr);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::wstring name_;
    std::optional<std::wstring> saved_;
};

// Records the folder moves until scope exit and refuses those the refusal gives an error for.
class MoveRecorder {
public:
    using Refusal = std::function<std::optional<std::uint32_t>(const std::filesystem::path& from,
                                                               const std::filesystem::path& to)>;
    explicit MoveRecorder(Refusal refusal = {});
    ~MoveRecorder() {
        setMoveInterceptorForTesting({});
        setRenamePauseForTesting(renamePauseMilliseconds);
    }
    MoveRecorder(const MoveRecorder&) = delete;
    MoveRecorder& operator=(const MoveRecorder&) = delete;

    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> moves;

private:
    Refusal refusal_;
};

// A new empty folder under the system's temporary folder, removed with its contents at scope exit.
class TempFolder {
public:
    TempFolder();
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const noexcept { return path_; }
    [[nodiscard]] std::filesystem::path operator/(const std::filesystem::path& child) const {
        return path_ / child;
    }

private:
    std::filesystem::path path_;
};

// Both throw, and so fail the running test, when the file cannot be used.
std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, std::string_view content);

// Relative path (with '/' or '\') to content; a path ending in a separator is a folder.
using FileTree = std::map<std::string, std::string>;
void makeTree(const std::filesystem::path& root, const FileTree& tree);
FileTree readTree(const std::filesystem::path& root);

// The Weapons Patch's archive: its package folder with the version's "manifest.json" and FILES.
FileTree communityPackageArchive(const std::string& version, const FileTree& files = {});

// The messages of an activity log file without their time stamps; none when it is missing.
std::vector<std::string> logMessages(const std::filesystem::path& file);

// A small program built for the tests (see hub_add_test_program), beside the test executable.
inline std::filesystem::path testProgram(const wchar_t* name) {
    return executableFolder() / name;
}

// The file opened with no sharing, as a program that holds it would.
inline UniqueHandle holdOpen(const std::filesystem::path& file) {
    return UniqueHandle(CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Waits up to 20 s for every process of that executable name to end; false when one did not.
bool waitForProcessesNamed(std::wstring_view executableName);

// Starts FOLDER\OrvantisHub.exe in FOLDER; null when it cannot start.
HANDLE startHub(const std::filesystem::path& folder);

// The process's first visible top-level window of that class (and caption), looked for every
// STEP ms until the process ends or half a minute has passed (null then); STEP 0 looks once.
HWND waitForWindow(HANDLE process, const wchar_t* className, const wchar_t* caption = nullptr,
                   DWORD step = 25);

inline bool runningUnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// True only in the build's own Wine prefix, which the harness names in HUB_TEST_PREFIX and marks.
inline bool insideTestPrefix() {
    const char* prefix = std::getenv("HUB_TEST_PREFIX");
    return prefix != nullptr && *prefix != '\0' && runningUnderWine() &&
           GetFileAttributesW(L"C:\\hub-test-prefix.txt") != INVALID_FILE_ATTRIBUTES;
}

} // namespace hub::test

// Tests that write the real per-user folders start with this: no real profile is ever touched.
#define HUB_REQUIRE_TEST_PREFIX()                                                                  \
    if (::hub::test::insideTestPrefix()) {                                                         \
    } else                                                                                         \
        GTEST_SKIP() << "writes per-user folders: runs only in the harness's Wine prefix"

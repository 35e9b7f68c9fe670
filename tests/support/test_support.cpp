#include "support/test_support.h"

#include "util/executable_folder.h"

#include <windows.h>

#include <cstdlib>

namespace hub::test {

std::vector<std::string> ProgressRecorder::phases() const {
    std::vector<std::string> phases;
    for (const auto& [fraction, text] : reports) {
        if (phases.empty() || phases.back() != text) {
            phases.push_back(text);
        }
    }
    return phases;
}

ScopedVariable::ScopedVariable(std::wstring name, const std::wstring& value)
    : name_(std::move(name)) {
    std::wstring buffer(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(name_.c_str(), buffer.data(), 32768);
    if (length > 0) {
        saved_ = buffer.substr(0, length);
    }
    SetEnvironmentVariableW(name_.c_str(), value.c_str());
}

ScopedVariable::~ScopedVariable() {
    SetEnvironmentVariableW(name_.c_str(), saved_ ? saved_->c_str() : nullptr);
}

// Refused moves are retried at once.
MoveRecorder::MoveRecorder(Refusal refusal) : refusal_(std::move(refusal)) {
    setRenamePauseForTesting(0);
    setMoveInterceptorForTesting(
        [this](const std::filesystem::path& from,
               const std::filesystem::path& to) -> std::optional<std::uint32_t> {
            moves.emplace_back(from, to);
            return refusal_ ? refusal_(from, to) : std::nullopt;
        });
}

MoveRecorder::~MoveRecorder() {
    setMoveInterceptorForTesting({});
    setRenamePauseForTesting(150);
}

std::filesystem::path testProgram(const wchar_t* name) {
    return executableFolder() / name;
}

HANDLE startHub(const std::filesystem::path& folder) {
    std::wstring command = L"\"" + (folder / L"OrvantisHub.exe").native() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION hub{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &hub)) {
        return nullptr;
    }
    CloseHandle(hub.hThread);
    return hub.hProcess;
}

HWND findWindow(DWORD processId, const wchar_t* className, const wchar_t* caption) {
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

HWND waitForWindow(HANDLE process, const wchar_t* className, const wchar_t* caption, DWORD step) {
    for (;;) {
        if (const HWND window = findWindow(GetProcessId(process), className, caption)) {
            return window;
        }
        if (WaitForSingleObject(process, step) != WAIT_TIMEOUT) {
            return nullptr;
        }
    }
}

bool runningUnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

bool insideTestPrefix() {
    const char* prefix = std::getenv("HUB_TEST_PREFIX");
    return prefix != nullptr && *prefix != '\0' && runningUnderWine() &&
           GetFileAttributesW(L"C:\\hub-test-prefix.txt") != INVALID_FILE_ATTRIBUTES;
}

} // namespace hub::test

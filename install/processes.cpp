#include "install/processes.h"

#include "util/paths.h"
#include "util/text.h"
#include "util/windows_error.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace hub {

namespace {

struct EnvironmentDeleter {
    void operator()(wchar_t* block) const noexcept { FreeEnvironmentStringsW(block); }
};

bool isWebViewVariable(std::wstring_view variable) {
    constexpr std::wstring_view prefix = L"WEBVIEW2_";
    return variable.size() >= prefix.size() &&
           equalsIgnoreCase(variable.substr(0, prefix.size()), prefix);
}

std::wstring commandLine(const std::filesystem::path& executable, std::wstring_view arguments) {
    std::wstring line = L"\"" + executable.native() + L"\"";
    if (!arguments.empty()) {
        line += L' ';
        line += arguments;
    }
    return line;
}

std::filesystem::path imagePath(HANDLE process) {
    std::wstring buffer(4096, L'\0');
    auto length = static_cast<DWORD>(buffer.size());
    if (!QueryFullProcessImageNameW(process, 0, buffer.data(), &length)) {
        return {};
    }
    buffer.resize(length);
    return buffer;
}

// The last named component, also when the path ends in a separator.
std::wstring lastComponent(const std::filesystem::path& path) {
    std::wstring name;
    for (const auto& part : path.relative_path()) {
        if (!part.empty()) {
            name = part.native();
        }
    }
    return name;
}

} // namespace

ProcessHandle startProcess(const std::filesystem::path& executable, std::wstring_view arguments,
                           bool hidden) {
    std::wstring line = commandLine(executable, arguments);
    const auto folder = executable.parent_path();
    std::wstring environment = childEnvironment();
    DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_PROCESS_GROUP | CREATE_DEFAULT_ERROR_MODE;
    if (hidden) {
        flags |= CREATE_NO_WINDOW;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(executable.c_str(), line.data(), nullptr, nullptr, FALSE, flags,
                        environment.data(), folder.empty() ? nullptr : folder.c_str(), &startup,
                        &started)) {
        const DWORD error = GetLastError();
        throw windowsError("Unable to start " + leafName(executable), error);
    }
    CloseHandle(started.hThread);
    return {UniqueHandle(started.hProcess), started.dwProcessId, started.dwThreadId};
}

void startDetached(const std::filesystem::path& executable, std::wstring_view arguments) {
    startProcess(executable, arguments, false);
}

ProcessOutcome runAndWait(const std::filesystem::path& executable, std::wstring_view arguments,
                          std::uint32_t timeoutMilliseconds, bool hidden,
                          const std::atomic<bool>* cancel) {
    constexpr DWORD terminationWait = 2000;
    constexpr ULONGLONG slice = 100;
    const ProcessHandle child = startProcess(executable, arguments, hidden);
    const ULONGLONG deadline = GetTickCount64() + timeoutMilliseconds;
    bool cancelled = false;
    while (!(cancelled = cancel != nullptr && cancel->load())) {
        const ULONGLONG now = GetTickCount64();
        const ULONGLONG left = deadline > now ? deadline - now : 0;
        const auto wait = static_cast<DWORD>(cancel == nullptr ? left : std::min(left, slice));
        if (WaitForSingleObject(child.process.get(), wait) == WAIT_OBJECT_0) {
            DWORD exitCode = 0;
            GetExitCodeProcess(child.process.get(), &exitCode);
            return {exitCode, true, false};
        }
        if (wait == left) {
            break;
        }
    }
    TerminateProcess(child.process.get(), 1);
    WaitForSingleObject(child.process.get(), terminationWait);
    return {0, false, cancelled};
}

std::wstring childEnvironment() {
    std::wstring block;
    const std::unique_ptr<wchar_t, EnvironmentDeleter> own(GetEnvironmentStringsW());
    for (const wchar_t* variable = own.get(); variable != nullptr && *variable != L'\0';
         variable += std::wstring_view(variable).size() + 1) {
        const std::wstring_view text(variable);
        if (!isWebViewVariable(text)) {
            block.append(text);
            block.push_back(L'\0');
        }
    }
    if (block.empty()) {
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

bool isProcessNamed(const std::vector<ProcessEntry>& processes, std::wstring_view name) {
    for (const auto& process : processes) {
        if (equalsIgnoreCase(process.executableName, name)) {
            return true;
        }
    }
    return false;
}

bool isProcessRunningAt(const std::vector<ProcessEntry>& processes,
                        const std::filesystem::path& executable) {
    const std::wstring name = lastComponent(executable);
    for (const auto& process : processes) {
        if (!equalsIgnoreCase(process.executableName, name)) {
            continue;
        }
        const UniqueHandle handle(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process.processId));
        if (handle && samePath(imagePath(handle.get()), executable)) {
            return true;
        }
    }
    return false;
}

void openWithShell(std::wstring_view target) {
    const std::wstring text(target);
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", text.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        throw std::runtime_error("Unable to open " + toUtf8(target));
    }
}

} // namespace hub

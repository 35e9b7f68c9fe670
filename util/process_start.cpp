#include "util/process_start.h"

#include "util/paths.h"
#include "util/text.h"
#include "util/windows_error.h"

#include <windows.h>

#include <memory>

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

} // namespace hub

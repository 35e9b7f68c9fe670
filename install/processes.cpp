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

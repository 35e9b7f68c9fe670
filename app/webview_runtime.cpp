#include "app/webview_runtime.h"

#include "app/com_ref.h"
#include "app/webview_runtime_search.h"
#include "util/executable_folder.h"
#include "util/library.h"
#include "util/paths.h"

#include <windows.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace hub {
namespace {

using namespace webview;

using EnvironmentCompletedHandler = ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler;
using CreateEnvironmentInternal = HRESULT(STDAPICALLTYPE*)(bool checkRunningInstance,
                                                           int runtimeType, PCWSTR userDataFolder,
                                                           IUnknown* environmentOptions,
                                                           EnvironmentCompletedHandler* handler);

std::optional<std::wstring> readRegistry(RegistryRoot root, const std::wstring& key,
                                         const std::wstring& value) {
    const HKEY hive = root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    DWORD type = 0;
    DWORD size = 0;
    constexpr DWORD flags =
        RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_RT_REG_DWORD | RRF_SUBKEY_WOW6432KEY;
    if (RegGetValueW(hive, key.c_str(), value.c_str(), flags, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2);
    size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegGetValueW(hive, key.c_str(), value.c_str(), flags, &type, data.data(), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    if (type == REG_DWORD) {
        DWORD number = 0;
        std::memcpy(&number, data.data(), sizeof(number));
        return std::to_wstring(number);
    }
    return std::wstring(data.data()); // RegGetValueW expands REG_EXPAND_SZ itself
}

std::optional<std::wstring> readEnvironment(const std::wstring& name) {
    const DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (size == 0) {
        return std::nullopt;
    }
    std::wstring text(size, L'\0');
    text.resize(GetEnvironmentVariableW(name.c_str(), text.data(), size));
    return text;
}

webview::RuntimeSystem thisSystem() {
    const auto executable = executablePath();
    return {
        readRegistry, readEnvironment,
            [](const std::filesystem::path& file) { return isRegularFile(file); },
            executable.parent_path(), executable.filename().native(),
#if defined(__aarch64__)
            L"arm64"
#elif defined(__x86_64__)
            L"x64"
#else
            L"x86"
#endif
    };
}

// The one environment creation that failed before the runtime could take it over; its handler
// is called from the message loop, as the runtime would.
struct PendingFailure {
    ComRef<EnvironmentCompletedHandler> handler;
    HRESULT result = S_OK;
};
PendingFailure pending;

void CALLBACK reportFailure(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    const auto handler = std::move(pending.handler);
    handler.get()->lpVtbl->Invoke(handler.get(), pending.result, nullptr);
}

HRESULT failLater(EnvironmentCompletedHandler* handler, HRESULT result) {
    if (pending.handler) {
        return E_UNEXPECTED; // one creation at a time
    }
    if (SetTimer(nullptr, 0, 0, reportFailure) == 0) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    pending = {ComRef<EnvironmentCompletedHandler>::share(handler), result};
    return S_OK;
}

} // namespace

HRESULT createCoreWebView2EnvironmentWithOptions(PCWSTR browserExecutableFolder,
                                                 PCWSTR userDataFolder,
                                                 IUnknown* environmentOptions,
                                                 EnvironmentCompletedHandler* handler) {
    if (handler == nullptr) {
        return E_POINTER;
    }
    const auto choice =
        findWebViewRuntime(thisSystem(), browserExecutableFolder ? browserExecutableFolder : L"",
                           userDataFolder ? userDataFolder : L"");
    if (!choice) {
        return failLater(handler, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    }
    // Never unloaded: the environment and its views live until the process ends. A damaged
    // runtime is reported by the window, not by a system box before it.
    const HMODULE library = loadLibraryQuietly(choice->library);
    if (library == nullptr) {
        return failLater(handler, HRESULT_FROM_WIN32(GetLastError()));
    }
    CreateEnvironmentInternal create = nullptr;
    if (!resolveExport(library, "CreateWebViewEnvironmentWithOptionsInternal", create)) {
        return failLater(handler, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
    }
    return create(true, static_cast<int>(choice->kind),
                  choice->userDataFolder.empty() ? nullptr : choice->userDataFolder.c_str(),
                  environmentOptions, handler);
}

} // namespace hub

#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace hub::webview {

enum class RegistryRoot { LocalMachine, CurrentUser };

// What the search reads of the system; webview_runtime.cpp gives the real readers.
struct RuntimeSystem {
    // A registry value as text (a number in decimal, an expandable string expanded), read in the
    // 32-bit view where the runtime's updater writes; nothing when the key or value is missing.
    std::function<std::optional<std::wstring>(RegistryRoot root, const std::wstring& key,
                                              const std::wstring& value)>
        readRegistry;
    // An environment variable; nothing when it is not set.
    std::function<std::optional<std::wstring>(const std::wstring& name)> readEnvironment;
    std::function<bool(const std::filesystem::path& file)> fileExists;
    std::filesystem::path executableFolder;
    std::wstring executableName; // the application id of the group policies, e.g. "Hub.exe"
    std::wstring architecture;   // the process's: "x64", "x86" or "arm64"
};

// How the runtime was found; the value is the one its creation export expects.
enum class RuntimeKind { Installed = 0, FixedVersion = 1 };

struct RuntimeChoice {
    std::filesystem::path library; // EmbeddedBrowserWebView.dll
    RuntimeKind kind = RuntimeKind::Installed;
    std::wstring userDataFolder;
};

// Finds the runtime to load for the given browser folder (empty: the installed runtime) and user
// data folder. Each of the browser folder, the user data folder, the channel search order and the
// allowed release channels is taken from its "WEBVIEW2_" environment variable, else from the
// WebView2 group policy (machine before user; the executable's name before "*", which the user
// data folder does not honour), else from the caller. A browser folder is a fixed-version runtime,
// relative to the executable's folder unless absolute. Otherwise the release channels are searched
// most stable first (least stable first on request); in each, the updater's record in either hive
// with the higher version of at least 86.0.616.0 whose library exists wins. Nothing when no runtime
// qualifies.
std::optional<RuntimeChoice> findWebViewRuntime(const RuntimeSystem& system,
                                                std::wstring_view browserFolder,
                                                std::wstring_view userDataFolder);

} // namespace hub::webview

#include "app/webview_runtime_search.h"

#include <gtest/gtest.h>

#include <map>

namespace hub::webview {
namespace {

// What the search may read: registry values as "HKLM\key|name" or "HKCU\key|name", environment
// variables by their names. Every runtime library exists but those in a folder named "gone".
using Values = std::map<std::wstring, std::wstring>;
const std::wstring machine = L"HKLM", user = L"HKCU";
// The updater's records of the stable and canary runtimes, and the WebView2 group policies.
const std::wstring clientState = L"\\Software\\Microsoft\\EdgeUpdate\\ClientState\\";
const std::wstring stable = clientState + L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}|EBWebView";
const std::wstring canary = clientState + L"{65C35B14-6C1D-4122-AC46-7148CC9D6497}|EBWebView";
const std::wstring policies = L"\\Software\\Policies\\Microsoft\\Edge\\WebView2\\";
const std::wstring machineStable = L"C:\\PF\\EdgeWebView\\Application\\120.0.2210.91";
const std::wstring userStable = L"C:\\Users\\u\\EdgeWebView\\Application\\121.0.1.0";
const std::wstring userCanary = L"C:\\Users\\u\\Edge SxS\\Application\\125.0.0.1";
const std::wstring fixed = L"D:\\Fixed\\118.0.1";

// Stable in both hives (the user's newer) and canary for the user, besides the given values.
Values installs(Values values = {}) {
    values.insert({{user + canary, userCanary},
                   {machine + stable, machineStable},
                   {user + stable, userStable}});
    return values;
}

std::optional<std::wstring> lookUp(const Values& values, const std::wstring& name) {
    const auto found = values.find(name);
    return found == values.end() ? std::nullopt : std::optional(found->second);
}

TEST(WebViewRuntimeSearch, FollowsOverridesChannelsAndVersions) {
    struct Row {
        const char* name;
        Values values;
        std::wstring folder; // of the runtime chosen; empty: none qualifies
        RuntimeKind kind = RuntimeKind::Installed;
        std::wstring userData = L"C:\\data";
    };
    const Row rows[] = {
        {"nothing installed", {}, L""},
        {"stable, machine-wide", {{machine + stable, machineStable}}, machineStable},
        {"too old", {{machine + stable, L"C:\\x\\86.0.615.99"}}, L""},
        {"not a version", {{machine + stable, L"C:\\x\\120.0.2210"}}, L""},
        {"library missing", {{user + stable, L"C:\\gone\\120.0.0.0"}}, L""},
        {"stable before canary, the newer of both hives", installs(), userStable},
        {"canary on request", installs({{L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", L"1"}}),
         userCanary},
        {"canary by policy", installs({{machine + policies + L"ChannelSearchKind|*", L"1"}}),
         userCanary},
        {"only allowed channels", installs({{L"WEBVIEW2_RELEASE_CHANNELS", L"2, 3"}}), userCanary},
        {"fixed version from the environment, data folder too",
         installs({{L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", fixed},
                   {L"WEBVIEW2_USER_DATA_FOLDER", L"E:\\d"}}),
         fixed, RuntimeKind::FixedVersion, L"E:\\d"},
        {"fixed version beside the executable",
         installs({{user + policies + L"BrowserExecutableFolder|Hub.exe", L"runtime"}}),
         L"C:\\Program\\runtime", RuntimeKind::FixedVersion},
        {"fixed version missing",
         installs({{L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"\\\\server\\gone"}}), L""},
        {"user data folder: the application's before \"*\"",
         installs({{machine + policies + L"UserDataFolder|*", L"F:\\all"},
                   {user + policies + L"UserDataFolder|Hub.exe", L"F:\\hub"}}),
         userStable, RuntimeKind::Installed, L"F:\\hub"},
        {"no user data folder for every application",
         installs({{machine + policies + L"UserDataFolder|*", L"F:\\all"}}), userStable},
    };
    for (const wchar_t* architecture : {L"x64", L"arm64"}) {
        const auto library = [&](const std::wstring& folder) {
            return folder + L"\\EBWebView\\" + architecture + L"\\EmbeddedBrowserWebView.dll";
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            const RuntimeSystem system{
                [&](RegistryRoot root, const std::wstring& key, const std::wstring& value) {
                    const auto& hive = root == RegistryRoot::LocalMachine ? machine : user;
                    return lookUp(row.values, hive + L"\\" + key + L"|" + value);
                },
                [&](const std::wstring& name) { return lookUp(row.values, name); },
                [](const std::filesystem::path& file) {
                    return file.native().find(L"gone") == std::wstring::npos;
                },
                L"C:\\Program",
                L"Hub.exe",
                architecture};
            const auto choice = findWebViewRuntime(system, L"", L"C:\\data");
            ASSERT_EQ(choice.has_value(), !row.folder.empty());
            if (choice) {
                EXPECT_EQ(choice->library.native(), library(row.folder));
                EXPECT_EQ(choice->kind, row.kind);
                EXPECT_EQ(choice->userDataFolder, row.userData);
            }
        }
    }
}

} // namespace
} // namespace hub::webview

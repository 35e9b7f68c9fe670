#include "app/webview_runtime_search.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

namespace hub::webview {
namespace {

using Registry = std::map<std::tuple<RegistryRoot, std::wstring, std::wstring>, std::wstring>;
constexpr auto machine = RegistryRoot::LocalMachine;
constexpr auto user = RegistryRoot::CurrentUser;
const std::wstring stable =
    L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
const std::wstring canary =
    L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{65C35B14-6C1D-4122-AC46-7148CC9D6497}";
const std::wstring machineStable = L"C:\\PF\\EdgeWebView\\Application\\120.0.2210.91";
const std::wstring userStable = L"C:\\Users\\u\\EdgeWebView\\Application\\121.0.1.0";
const std::wstring userCanary = L"C:\\Users\\u\\Edge SxS\\Application\\125.0.0.1";
const std::wstring fixed = L"D:\\Fixed\\118.0.1";

// The updater's record of a runtime in a channel.
Registry::value_type installed(RegistryRoot root, const std::wstring& channel,
                               const std::wstring& folder) {
    return {{root, channel, L"EBWebView"}, folder};
}

// A WebView2 group policy for an application ("*": every one).
Registry::value_type policy(RegistryRoot root, const std::wstring& name, const wchar_t* application,
                            const std::wstring& value) {
    return {{root, L"Software\\Policies\\Microsoft\\Edge\\WebView2\\" + name, application}, value};
}

// Stable installed machine-wide and canary for the user, besides the given values.
Registry bothChannels(Registry registry = {}) {
    registry.insert(
        {installed(user, canary, userCanary), installed(machine, stable, machineStable)});
    return registry;
}

TEST(WebViewRuntimeSearch, FollowsOverridesChannelsAndVersions) {
    struct Row {
        const char* name;
        Registry registry;
        std::map<std::wstring, std::wstring> environment;
        std::wstring folder; // of the runtime chosen; empty: none qualifies
        RuntimeKind kind = RuntimeKind::Installed;
        std::wstring userData = L"C:\\data";
    };
    const Row rows[] = {
        {"nothing installed", {}, {}, L""},
        {"stable, machine-wide", {installed(machine, stable, machineStable)}, {}, machineStable},
        {"the newer of both hives",
         {installed(machine, stable, machineStable), installed(user, stable, userStable)},
         {},
         userStable},
        {"too old", {installed(machine, stable, L"C:\\x\\86.0.615.99")}, {}, L""},
        {"not a version", {installed(machine, stable, L"C:\\x\\120.0.2210")}, {}, L""},
        {"library missing", {installed(user, stable, L"C:\\gone\\120.0.0.0")}, {}, L""},
        {"stable before canary", bothChannels(), {}, machineStable},
        {"canary first on request",
         bothChannels(),
         {{L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", L"1"}},
         userCanary},
        {"canary first by machine policy",
         bothChannels({policy(machine, L"ChannelSearchKind", L"*", L"1")}),
         {},
         userCanary},
        {"only the allowed channels",
         bothChannels(),
         {{L"WEBVIEW2_RELEASE_CHANNELS", L"2, 3"}},
         userCanary},
        {"fixed version from the environment, data folder too",
         bothChannels(),
         {{L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", fixed}, {L"WEBVIEW2_USER_DATA_FOLDER", L"E:\\d"}},
         fixed,
         RuntimeKind::FixedVersion,
         L"E:\\d"},
        {"fixed version beside the executable",
         bothChannels({policy(user, L"BrowserExecutableFolder", L"Hub.exe", L"runtime")}),
         {},
         L"C:\\Program\\runtime",
         RuntimeKind::FixedVersion},
        {"fixed version missing",
         bothChannels(),
         {{L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"\\\\server\\none"}},
         L""},
        {"environment before policy, application before \"*\"",
         bothChannels({policy(machine, L"UserDataFolder", L"*", L"F:\\all"),
                       policy(user, L"UserDataFolder", L"Hub.exe", L"F:\\hub")}),
         {},
         machineStable,
         RuntimeKind::Installed,
         L"F:\\hub"},
        {"no user data folder for every application",
         bothChannels({policy(machine, L"UserDataFolder", L"*", L"F:\\all")}),
         {},
         machineStable},
    };
    for (const wchar_t* architecture : {L"x64", L"arm64"}) {
        const auto library = [&](const std::wstring& folder) {
            return folder + L"\\EBWebView\\" + architecture + L"\\EmbeddedBrowserWebView.dll";
        };
        const std::set<std::wstring> files{library(machineStable),
                                           library(userStable),
                                           library(userCanary),
                                           library(fixed),
                                           library(L"C:\\Program\\runtime"),
                                           library(L"C:\\x\\86.0.615.99")};
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            RuntimeSystem system{
                [&](RegistryRoot root, const std::wstring& key, const std::wstring& value) {
                    const auto found = row.registry.find({root, key, value});
                    return found == row.registry.end() ? std::nullopt
                                                       : std::optional(found->second);
                },
                [&](const std::wstring& name) {
                    const auto found = row.environment.find(name);
                    return found == row.environment.end() ? std::nullopt
                                                          : std::optional(found->second);
                },
                [&](const std::filesystem::path& file) { return files.contains(file.native()); },
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

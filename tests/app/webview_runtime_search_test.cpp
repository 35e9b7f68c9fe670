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
const std::wstring policies = L"Software\\Policies\\Microsoft\\Edge\\WebView2\\";

std::wstring library(const std::wstring& folder) {
    return folder + L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll";
}

TEST(WebViewRuntimeSearch, FollowsOverridesChannelsAndVersions) {
    const std::wstring machineStable = L"C:\\PF\\EdgeWebView\\Application\\120.0.2210.91";
    const std::wstring userStable = L"C:\\Users\\u\\EdgeWebView\\Application\\121.0.1.0";
    const std::wstring canaryFolder = L"C:\\Users\\u\\Edge SxS\\Application\\125.0.0.1";
    const std::wstring fixedFolder = L"D:\\Fixed\\118.0.1";
    struct Row {
        const char* name;
        Registry registry;
        std::map<std::wstring, std::wstring> environment;
        std::optional<std::wstring> library; // nothing: no runtime qualifies
        RuntimeKind kind = RuntimeKind::Installed;
        std::wstring userData = L"C:\\data";
    };
    const Row rows[] = {
        {"nothing installed", {}, {}, std::nullopt},
        {"stable, machine-wide",
         {{{machine, stable, L"EBWebView"}, machineStable}},
         {},
         library(machineStable)},
        {"the newer of both hives",
         {{{machine, stable, L"EBWebView"}, machineStable},
          {{user, stable, L"EBWebView"}, userStable}},
         {},
         library(userStable)},
        {"too old", {{{machine, stable, L"EBWebView"}, L"C:\\x\\86.0.615.99"}}, {}, std::nullopt},
        {"not a version",
         {{{machine, stable, L"EBWebView"}, L"C:\\x\\120.0.2210"}},
         {},
         std::nullopt},
        {"library missing",
         {{{user, stable, L"EBWebView"}, L"C:\\gone\\120.0.0.0"}},
         {},
         std::nullopt},
        {"stable before canary",
         {{{user, canary, L"EBWebView"}, canaryFolder},
          {{machine, stable, L"EBWebView"}, machineStable}},
         {},
         library(machineStable)},
        {"canary first on request",
         {{{user, canary, L"EBWebView"}, canaryFolder},
          {{machine, stable, L"EBWebView"}, machineStable}},
         {{L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", L"1"}},
         library(canaryFolder)},
        {"canary first by machine policy",
         {{{user, canary, L"EBWebView"}, canaryFolder},
          {{machine, stable, L"EBWebView"}, machineStable},
          {{machine, policies + L"ChannelSearchKind", L"*"}, L"1"}},
         {},
         library(canaryFolder)},
        {"only the allowed channels",
         {{{user, canary, L"EBWebView"}, canaryFolder},
          {{machine, stable, L"EBWebView"}, machineStable}},
         {{L"WEBVIEW2_RELEASE_CHANNELS", L"2, 3"}},
         library(canaryFolder)},
        {"fixed version from the environment, data folder too",
         {{{machine, stable, L"EBWebView"}, machineStable}},
         {{L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", fixedFolder},
          {L"WEBVIEW2_USER_DATA_FOLDER", L"E:\\d"}},
         library(fixedFolder),
         RuntimeKind::FixedVersion,
         L"E:\\d"},
        {"fixed version beside the executable",
         {{{user, policies + L"BrowserExecutableFolder", L"Hub.exe"}, L"runtime"}},
         {},
         library(L"C:\\Program\\runtime"),
         RuntimeKind::FixedVersion},
        {"fixed version missing",
         {},
         {{L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"\\\\server\\none"}},
         std::nullopt},
        {"environment before policy, application before \"*\"",
         {{{machine, policies + L"UserDataFolder", L"*"}, L"F:\\all"},
          {{user, policies + L"UserDataFolder", L"Hub.exe"}, L"F:\\hub"},
          {{machine, stable, L"EBWebView"}, machineStable}},
         {},
         library(machineStable),
         RuntimeKind::Installed,
         L"F:\\hub"},
        {"no user data folder for every application",
         {{{machine, policies + L"UserDataFolder", L"*"}, L"F:\\all"},
          {{machine, stable, L"EBWebView"}, machineStable}},
         {},
         library(machineStable)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::set<std::wstring> files{library(machineStable),
                                           library(userStable),
                                           library(canaryFolder),
                                           library(fixedFolder),
                                           library(L"C:\\Program\\runtime"),
                                           library(L"C:\\x\\86.0.615.99")};
        RuntimeSystem system{
            [&](RegistryRoot root, const std::wstring& key, const std::wstring& value) {
                const auto found = row.registry.find({root, key, value});
                return found == row.registry.end() ? std::nullopt : std::optional(found->second);
            },
            [&](const std::wstring& name) {
                const auto found = row.environment.find(name);
                return found == row.environment.end() ? std::nullopt : std::optional(found->second);
            },
            [&](const std::filesystem::path& file) { return files.contains(file.native()); },
            L"C:\\Program",
            L"Hub.exe",
            L"x64"};
        const auto choice = findWebViewRuntime(system, L"", L"C:\\data");
        ASSERT_EQ(choice.has_value(), row.library.has_value());
        if (choice) {
            EXPECT_EQ(choice->library.native(), *row.library);
            EXPECT_EQ(choice->kind, row.kind);
            EXPECT_EQ(choice->userDataFolder, row.userData);
        }
    }
}

} // namespace
} // namespace hub::webview

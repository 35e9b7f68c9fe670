#include "app/interface_host.h"
#include "app/web_view_host.h"
#include "app/webview_runtime_search.h"

#include "fakes/webview2/fake_web_view.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace hub::webview {
namespace {

using namespace test;

class WebViewHostTest : public testing::Test {
protected:
    std::unique_ptr<WebViewHost> makeHost() {
        return std::make_unique<WebViewHost>(
            controller_.face(), RECT{1, 2, 1281, 802}, L"C:\\hub\\ui",
            WebViewClient{[this](std::string_view json) { messages_.emplace_back(json); },
                          [] { return std::string("{\"snapshot\":\"\xC3\xA9\"}"); },
                          [this](const std::wstring& text) { errors_.push_back(text); }});
    }

    FakeController controller_;
    FakeView& view_ = controller_.view;
    std::vector<std::string> messages_;
    std::vector<std::wstring> errors_;
};

TEST_F(WebViewHostTest, CompletesTheViewAndLetsGoOfEverythingAtTheEnd) {
    auto host = makeHost();
    EXPECT_EQ(controller_.background, 0x33241BFFu); // alpha in the low byte
    EXPECT_TRUE(EqualRect(&controller_.bounds, std::data({RECT{1, 2, 1281, 802}})));
    EXPECT_EQ(view_.settings.calls, L"M-D-S-");
    EXPECT_EQ(view_.mappedHost, interfaceHost);
    EXPECT_EQ(view_.mappedFolder, L"C:\\hub\\ui");
    EXPECT_EQ(view_.accessKind, COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND_DENY_CORS);
    EXPECT_EQ(view_.navigatedTo, interfaceStartAddress);
    host->publishState();
    EXPECT_EQ(view_.posted, std::vector<std::wstring>{L"{\"snapshot\":\"\u00e9\"}"});
    host.reset();
    EXPECT_EQ(view_.removed, (std::vector<INT64>{34, 7, 44}));
    EXPECT_TRUE(controller_.closed);
    EXPECT_EQ((std::array{controller_.references, view_.references, view_.settings.references}),
              (std::array<ULONG, 3>{1, 1, 1}));
    EXPECT_TRUE(errors_.empty());
}

TEST_F(WebViewHostTest, ObeysOnlyTheInterfaceAndOpensNoWindows) {
    const std::wstring page(interfaceStartAddress);
    struct Row {
        const char* name;
        std::optional<std::wstring> address;
        bool navigates = false, obeyed = false;
        std::optional<std::wstring> json = L"{\"type\":\"refresh\"}";
        HRESULT readResult = S_OK;
    };
    const Row rows[] = {
        {"interface page", page, true, true},
        {"no command text", page, true, false, std::nullopt},
        {"unreadable", page, false, false, std::nullopt, E_FAIL},
        {"no address", std::nullopt},
        {"another host", L"https://www.orvantis.example/"},
        {"plain http", L"http://hub-interface.orvantis.example/index.html"},
        {"file address", L"file:///C:/hub/ui/index.html"},
        {"look-alike host", L"https://hub-interface.orvantis.example.evil/"},
        {"user-info trick", L"https://hub-interface.orvantis.example@evil.example/"},
        {"port", L"https://hub-interface.orvantis.example:8443/"},
    };
    auto host = makeHost();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        messages_.clear();
        view_.posted.clear();
        FakeArgs navigation{&navigationVtbl}, message{&messageVtbl};
        for (FakeArgs* args : {&navigation, &message}) {
            args->uri = args->source = row.address;
            args->json = row.json;
            args->readResult = row.readResult;
        }
        view_.navigation->lpVtbl->Invoke(view_.navigation, view_.face(),
                                         navigation.as<ICoreWebView2NavigationStartingEventArgs>());
        EXPECT_EQ(navigation.answer.value_or(FALSE), row.navigates ? FALSE : TRUE);
        view_.message->lpVtbl->Invoke(view_.message, view_.face(),
                                      message.as<ICoreWebView2WebMessageReceivedEventArgs>());
        EXPECT_EQ(messages_.size(), row.obeyed ? 1u : 0u);
        EXPECT_EQ(view_.posted.size(), row.obeyed ? 1u : 0u);
        EXPECT_EQ(navigation.references + message.references, 2u);
    }
    FakeArgs request{&newWindowVtbl};
    view_.newWindow->lpVtbl->Invoke(view_.newWindow, view_.face(),
                                    request.as<ICoreWebView2NewWindowRequestedEventArgs>());
    EXPECT_EQ(request.answer, std::optional<BOOL>(TRUE));
}

TEST_F(WebViewHostTest, AnOldRuntimeGetsNoInterface) {
    view_.offered.pop_back();       // no ICoreWebView2_3
    controller_.offered.pop_back(); // no ICoreWebView2Controller2
    auto host = makeHost();
    EXPECT_EQ(errors_, std::vector<std::wstring>{L"This WebView2 version is too old."});
    EXPECT_TRUE(view_.navigatedTo.empty());
    EXPECT_EQ(view_.message, nullptr);
    host.reset();
    EXPECT_TRUE(controller_.closed);
    EXPECT_EQ(view_.references, 1u);
}

// What the search may read: registry values as "HKLM\key|name" or "HKCU\key|name", environment
// variables by their names. Every runtime library exists but those in a folder named "gone".
using Values = std::map<std::wstring, std::wstring>;
const std::wstring clientState = L"\\Software\\Microsoft\\EdgeUpdate\\ClientState\\";
const std::wstring stable = clientState + L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}|EBWebView";
const std::wstring canary = clientState + L"{65C35B14-6C1D-4122-AC46-7148CC9D6497}|EBWebView";
const std::wstring policies = L"\\Software\\Policies\\Microsoft\\Edge\\WebView2\\";
const std::wstring machineStable = L"C:\\PF\\EdgeWebView\\Application\\120.0.2210.91";
const std::wstring userStable = L"C:\\Users\\u\\EdgeWebView\\Application\\121.0.1.0";
const std::wstring userCanary = L"C:\\Users\\u\\Edge SxS\\Application\\125.0.0.1";
const std::wstring fixed = L"D:\\Fixed\\118.0.1";

Values installs(Values values = {}) {
    values.insert({{L"HKCU" + canary, userCanary},
                   {L"HKLM" + stable, machineStable},
                   {L"HKCU" + stable, userStable}});
    return values;
}

std::optional<std::wstring> lookUp(const Values& values, const std::wstring& name) {
    return values.contains(name) ? std::optional(values.at(name)) : std::nullopt;
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
        {"stable, machine-wide", {{L"HKLM" + stable, machineStable}}, machineStable},
        {"too old", {{L"HKLM" + stable, L"C:\\x\\86.0.615.99"}}, L""},
        {"not a version", {{L"HKLM" + stable, L"C:\\x\\120.0.2210"}}, L""},
        {"library missing", {{L"HKCU" + stable, L"C:\\gone\\120.0.0.0"}}, L""},
        {"stable before canary, the newer of both hives", installs(), userStable},
        {"canary on request", installs({{L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", L"1"}}),
         userCanary},
        {"canary by policy", installs({{L"HKLM" + policies + L"ChannelSearchKind|*", L"1"}}),
         userCanary},
        {"only allowed channels", installs({{L"WEBVIEW2_RELEASE_CHANNELS", L"2, 3"}}), userCanary},
        {"fixed version from the environment, data folder too",
         installs({{L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", fixed},
                   {L"WEBVIEW2_USER_DATA_FOLDER", L"E:\\d"}}),
         fixed, RuntimeKind::FixedVersion, L"E:\\d"},
        {"fixed version beside the executable",
         installs({{L"HKCU" + policies + L"BrowserExecutableFolder|Hub.exe", L"runtime"}}),
         L"C:\\Program\\runtime", RuntimeKind::FixedVersion},
        {"fixed version missing",
         installs({{L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"\\\\server\\gone"}}), L""},
        {"user data folder: the application's before \"*\"",
         installs({{L"HKLM" + policies + L"UserDataFolder|*", L"F:\\all"},
                   {L"HKCU" + policies + L"UserDataFolder|Hub.exe", L"F:\\hub"}}),
         userStable, RuntimeKind::Installed, L"F:\\hub"},
        {"no user data folder for every application",
         installs({{L"HKLM" + policies + L"UserDataFolder|*", L"F:\\all"}}), userStable},
    };
    for (const std::wstring architecture : {L"x64", L"arm64"}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            const RuntimeSystem system{
                [&](RegistryRoot root, const std::wstring& key, const std::wstring& value) {
                    const auto hive = root == RegistryRoot::LocalMachine ? L"HKLM\\" : L"HKCU\\";
                    return lookUp(row.values, hive + key + L"|" + value);
                },
                [&](const std::wstring& name) { return lookUp(row.values, name); },
                [](const auto& file) { return file.native().find(L"gone") == std::wstring::npos; },
                L"C:\\Program",
                L"Hub.exe",
                architecture};
            const auto choice =
                findWebViewRuntime(system, L"", L"C:\\data").value_or(RuntimeChoice{});
            const auto library =
                row.folder + L"\\EBWebView\\" + architecture + L"\\EmbeddedBrowserWebView.dll";
            EXPECT_EQ(choice.library, row.folder.empty() ? L"" : library);
            EXPECT_EQ(choice.kind, row.kind);
            EXPECT_EQ(choice.userDataFolder, row.folder.empty() ? L"" : row.userData);
        }
    }
}

} // namespace
} // namespace hub::webview

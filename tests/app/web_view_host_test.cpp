#include "app/interface_host.h"
#include "app/web_view_host.h"

#include "fakes/webview2/fake_web_view.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace hub {
namespace {

using namespace webview;
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

// Only the interface page may be navigated to or send commands; each command is answered with a
// snapshot. No window is ever opened.
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
        {"host alone", L"https://hub-interface.orvantis.example"},
        {"other case", L"HTTPS://hub-interface.orvantis.example/"},
    };
    auto host = makeHost();
    ASSERT_TRUE(view_.navigation && view_.message && view_.newWindow);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        messages_.clear();
        view_.posted.clear();
        FakeArgs navigation{&navigationVtbl};
        navigation.uri = row.address;
        navigation.readResult = row.readResult;
        view_.navigation->lpVtbl->Invoke(view_.navigation, view_.face(),
                                         navigation.as<ICoreWebView2NavigationStartingEventArgs>());
        EXPECT_EQ(navigation.answer.value_or(FALSE), row.navigates ? FALSE : TRUE);
        FakeArgs message{&messageVtbl};
        message.source = row.address;
        message.json = row.json;
        message.readResult = row.readResult;
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
    EXPECT_EQ(controller_.background, 0u);
    host.reset();
    EXPECT_TRUE(controller_.closed);
    EXPECT_EQ(view_.references, 1u);
}

} // namespace
} // namespace hub

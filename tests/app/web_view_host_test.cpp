#include "app/interface_host.h"
#include "app/web_view_host.h"

#include "fakes/webview2/fake_web_view.h"

#include <gtest/gtest.h>

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
    EXPECT_TRUE(isInterfaceAddress(interfaceStartAddress));
    ASSERT_TRUE(view_.navigation && view_.message && view_.newWindow);
    host->publishState();
    EXPECT_EQ(view_.posted, std::vector<std::wstring>{L"{\"snapshot\":\"\u00e9\"}"});

    host.reset();
    EXPECT_EQ(view_.removed, (std::vector<INT64>{34, 7, 44}));
    EXPECT_TRUE(controller_.closed);
    EXPECT_EQ(controller_.references, 1u);
    EXPECT_EQ(view_.references, 1u);
    EXPECT_EQ(view_.settings.references, 1u);
    EXPECT_TRUE(errors_.empty());
}

TEST_F(WebViewHostTest, ObeysOnlyReadableMessagesFromTheInterface) {
    const std::wstring page = std::wstring(interfaceStartAddress);
    struct Row {
        const char* name;
        std::optional<std::wstring> source, json;
        HRESULT readResult;
        bool obeyed;
    };
    const Row rows[] = {
        {"from the interface", page, L"{\"type\":\"refresh\"}", S_OK, true},
        {"from another host", L"https://hub-interface.orvantis.example.evil/", L"{}", S_OK, false},
        {"from a page without an address", std::nullopt, L"{}", S_OK, false},
        {"unreadable text", page, std::nullopt, E_FAIL, false},
        {"no text", page, std::nullopt, S_OK, false},
    };
    auto host = makeHost();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        messages_.clear();
        view_.posted.clear();
        FakeArgs args{&messageVtbl};
        args.source = row.source;
        args.json = row.json;
        args.readResult = row.readResult;
        view_.message->lpVtbl->Invoke(view_.message, view_.face(),
                                      args.as<ICoreWebView2WebMessageReceivedEventArgs>());
        EXPECT_EQ(messages_.size(), row.obeyed ? 1u : 0u);
        EXPECT_EQ(view_.posted.size(), row.obeyed ? 1u : 0u); // the snapshot right after
        EXPECT_EQ(args.references, 1u);
    }
}

TEST_F(WebViewHostTest, AdmitsOnlyTheInterfaceHostAndOpensNoWindows) {
    struct Row {
        const char* name;
        std::optional<std::wstring> address;
        HRESULT readResult;
        bool cancelled;
    };
    const Row rows[] = {
        {"interface page", L"https://hub-interface.orvantis.example/index.html", S_OK, false},
        {"another host", L"https://www.orvantis.example/", S_OK, true},
        {"plain http", L"http://hub-interface.orvantis.example/index.html", S_OK, true},
        {"file address", L"file:///C:/hub/ui/index.html", S_OK, true},
        {"look-alike host", L"https://hub-interface.orvantis.example.evil/", S_OK, true},
        {"user-info trick", L"https://hub-interface.orvantis.example@evil.example/", S_OK, true},
        {"port", L"https://hub-interface.orvantis.example:8443/", S_OK, true},
        {"host alone", L"https://hub-interface.orvantis.example", S_OK, true},
        {"other case", L"HTTPS://hub-interface.orvantis.example/", S_OK, true},
        {"address not readable", std::nullopt, E_FAIL, true},
        {"no address", std::nullopt, S_OK, true},
    };
    auto host = makeHost();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeArgs args{&navigationVtbl};
        args.uri = row.address;
        args.readResult = row.readResult;
        view_.navigation->lpVtbl->Invoke(view_.navigation, view_.face(),
                                         args.as<ICoreWebView2NavigationStartingEventArgs>());
        EXPECT_EQ(args.answer.value_or(FALSE), row.cancelled ? TRUE : FALSE);
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

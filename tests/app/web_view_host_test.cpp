#include "app/interface_host.h"
#include "app/web_view_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace hub {
namespace {

using namespace webview;

// Fake runtime objects written against our own declarations. Each is a struct whose first member
// is its table, so the interface pointer is the object's address; each records what it is given.
template <class Fake, class Face> Fake& fake(Face* face) {
    return *reinterpret_cast<Fake*>(face);
}

// IUnknown for a fake that answers the IIDs in its `offered` list.
template <class Fake, class Vtbl> Vtbl unknownTable() {
    Vtbl table{};
    table.QueryInterface = [](auto* face, REFIID iid, void** out) -> HRESULT {
        auto& self = fake<Fake>(face);
        for (const IID* offered : self.offered) {
            if (IsEqualIID(iid, *offered)) {
                ++self.references;
                *out = face;
                return S_OK;
            }
        }
        *out = nullptr;
        return E_NOINTERFACE;
    };
    table.AddRef = [](auto* face) -> ULONG { return ++fake<Fake>(face).references; };
    table.Release = [](auto* face) -> ULONG { return --fake<Fake>(face).references; };
    return table;
}

// A text as the runtime hands it out: CoTaskMem memory that the caller frees.
LPWSTR handOut(const std::optional<std::wstring>& text) {
    if (!text) {
        return nullptr;
    }
    const std::size_t bytes = (text->size() + 1) * sizeof(wchar_t);
    return static_cast<LPWSTR>(std::memcpy(CoTaskMemAlloc(bytes), text->c_str(), bytes));
}

struct FakeSettings {
    const ICoreWebView2SettingsVtbl* table = &vtbl;
    ULONG references = 1;
    std::vector<const IID*> offered;
    std::wstring calls;
    static const ICoreWebView2SettingsVtbl vtbl;
};
const ICoreWebView2SettingsVtbl FakeSettings::vtbl = [] {
    auto t = unknownTable<FakeSettings, ICoreWebView2SettingsVtbl>();
    t.put_AreDefaultContextMenusEnabled = [](auto* f, BOOL on) {
        return fake<FakeSettings>(f).calls += on ? L"M+" : L"M-", S_OK;
    };
    t.put_AreDevToolsEnabled = [](auto* f, BOOL on) {
        return fake<FakeSettings>(f).calls += on ? L"D+" : L"D-", S_OK;
    };
    t.put_IsStatusBarEnabled = [](auto* f, BOOL on) {
        return fake<FakeSettings>(f).calls += on ? L"S+" : L"S-", S_OK;
    };
    return t;
}();

struct FakeView {
    const ICoreWebView2_3Vtbl* table = &vtbl;
    ULONG references = 1;
    std::vector<const IID*> offered{&IID_IUnknown, &ICoreWebView2::iid, &ICoreWebView2_3::iid};
    FakeSettings settings;
    std::wstring navigatedTo, mappedHost, mappedFolder;
    int accessKind = -1;
    std::vector<std::wstring> posted;
    ICoreWebView2NavigationStartingEventHandler* navigation = nullptr;
    ICoreWebView2WebMessageReceivedEventHandler* message = nullptr;
    ICoreWebView2NewWindowRequestedEventHandler* newWindow = nullptr;
    std::vector<INT64> removed;
    static const ICoreWebView2_3Vtbl vtbl;

    ICoreWebView2* face() { return reinterpret_cast<ICoreWebView2*>(this); }
    template <class Handler>
    static HRESULT add(Handler*& slot, Handler* handler, EventRegistrationToken* token, INT64 id) {
        handler->lpVtbl->AddRef(handler);
        slot = handler;
        token->value = id;
        return S_OK;
    }
    template <class Handler> HRESULT remove(Handler*& slot, EventRegistrationToken token) {
        removed.push_back(token.value);
        slot->lpVtbl->Release(std::exchange(slot, nullptr));
        return S_OK;
    }
};
const ICoreWebView2_3Vtbl FakeView::vtbl = [] {
    ICoreWebView2_3Vtbl t{};
    auto& b = t.base;
    b = unknownTable<FakeView, ICoreWebView2Vtbl>();
    b.get_Settings = [](auto* f, ICoreWebView2Settings** out) {
        auto& settings = fake<FakeView>(f).settings;
        ++settings.references;
        *out = reinterpret_cast<ICoreWebView2Settings*>(&settings);
        return S_OK;
    };
    b.Navigate = [](auto* f, LPCWSTR uri) { return fake<FakeView>(f).navigatedTo = uri, S_OK; };
    b.PostWebMessageAsJson = [](auto* f, LPCWSTR json) {
        return fake<FakeView>(f).posted.emplace_back(json), S_OK;
    };
    b.add_NavigationStarting = [](auto* f, auto* h, auto* token) {
        return FakeView::add(fake<FakeView>(f).navigation, h, token, 7);
    };
    b.add_WebMessageReceived = [](auto* f, auto* h, auto* token) {
        return FakeView::add(fake<FakeView>(f).message, h, token, 34);
    };
    b.add_NewWindowRequested = [](auto* f, auto* h, auto* token) {
        return FakeView::add(fake<FakeView>(f).newWindow, h, token, 44);
    };
    b.remove_NavigationStarting = [](auto* f, auto token) {
        return fake<FakeView>(f).remove(fake<FakeView>(f).navigation, token);
    };
    b.remove_WebMessageReceived = [](auto* f, auto token) {
        return fake<FakeView>(f).remove(fake<FakeView>(f).message, token);
    };
    b.remove_NewWindowRequested = [](auto* f, auto token) {
        return fake<FakeView>(f).remove(fake<FakeView>(f).newWindow, token);
    };
    t.SetVirtualHostNameToFolderMapping = [](auto* f, LPCWSTR host, LPCWSTR folder, auto kind) {
        auto& self = fake<FakeView>(f);
        self.mappedHost = host;
        self.mappedFolder = folder;
        self.accessKind = kind;
        return S_OK;
    };
    return t;
}();

struct FakeController {
    const ICoreWebView2Controller2Vtbl* table = &vtbl;
    ULONG references = 1;
    std::vector<const IID*> offered{&IID_IUnknown, &ICoreWebView2Controller2::iid};
    FakeView view;
    RECT bounds{};
    UINT32 background = 0;
    bool closed = false;
    static const ICoreWebView2Controller2Vtbl vtbl;

    ICoreWebView2Controller* face() { return reinterpret_cast<ICoreWebView2Controller*>(this); }
};
const ICoreWebView2Controller2Vtbl FakeController::vtbl = [] {
    ICoreWebView2Controller2Vtbl t{};
    t.base = unknownTable<FakeController, ICoreWebView2ControllerVtbl>();
    t.base.put_Bounds = [](auto* f, RECT bounds) {
        return fake<FakeController>(f).bounds = bounds, S_OK;
    };
    t.base.Close = [](auto* f) { return fake<FakeController>(f).closed = true, S_OK; };
    t.base.get_CoreWebView2 = [](auto* f, ICoreWebView2** out) {
        auto& view = fake<FakeController>(f).view;
        ++view.references;
        *out = view.face();
        return S_OK;
    };
    t.put_DefaultBackgroundColor = [](auto* f, COREWEBVIEW2_COLOR colour) {
        std::memcpy(&fake<FakeController>(f).background, &colour, sizeof(colour));
        return S_OK;
    };
    return t;
}();

// The three kinds of event arguments in one fake: an address (or a failure to read it), the
// message's source and text, and what the handler answered.
struct FakeArgs {
    explicit FakeArgs(const void* vtbl) : table(vtbl) {}
    const void* table;
    ULONG references = 1;
    std::vector<const IID*> offered;
    std::optional<std::wstring> uri, source, json;
    HRESULT readResult = S_OK;
    std::optional<BOOL> answer;

    template <class Face> Face* as() { return reinterpret_cast<Face*>(this); }
    template <class Text> static HRESULT read(FakeArgs& self, Text FakeArgs::*text, LPWSTR* out) {
        *out = SUCCEEDED(self.readResult) ? handOut(self.*text) : nullptr;
        return self.readResult;
    }
};
const auto navigationVtbl = [] {
    auto t = unknownTable<FakeArgs, ICoreWebView2NavigationStartingEventArgsVtbl>();
    t.get_Uri = [](auto* f, LPWSTR* out) {
        return FakeArgs::read(fake<FakeArgs>(f), &FakeArgs::uri, out);
    };
    t.put_Cancel = [](auto* f, BOOL cancel) { return fake<FakeArgs>(f).answer = cancel, S_OK; };
    return t;
}();
const auto messageVtbl = [] {
    auto t = unknownTable<FakeArgs, ICoreWebView2WebMessageReceivedEventArgsVtbl>();
    t.get_Source = [](auto* f, LPWSTR* out) {
        auto& self = fake<FakeArgs>(f);
        *out = handOut(self.source);
        return S_OK;
    };
    t.get_WebMessageAsJson = [](auto* f, LPWSTR* out) {
        return FakeArgs::read(fake<FakeArgs>(f), &FakeArgs::json, out);
    };
    return t;
}();
const auto newWindowVtbl = [] {
    auto t = unknownTable<FakeArgs, ICoreWebView2NewWindowRequestedEventArgsVtbl>();
    t.put_Handled = [](auto* f, BOOL handled) { return fake<FakeArgs>(f).answer = handled, S_OK; };
    return t;
}();

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

#pragma once

// Stand-ins for the WebView2 runtime's objects, which Wine lacks, written against our own
// declarations (app/webview2.h).

#include "app/webview2.h"

#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace hub::test {

using namespace hub::webview;

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
inline LPWSTR handOut(const std::optional<std::wstring>& text) {
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
inline const ICoreWebView2SettingsVtbl FakeSettings::vtbl = [] {
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
inline const ICoreWebView2_3Vtbl FakeView::vtbl = [] {
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
inline const ICoreWebView2Controller2Vtbl FakeController::vtbl = [] {
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
inline const auto navigationVtbl = [] {
    auto t = unknownTable<FakeArgs, ICoreWebView2NavigationStartingEventArgsVtbl>();
    t.get_Uri = [](auto* f, LPWSTR* out) {
        return FakeArgs::read(fake<FakeArgs>(f), &FakeArgs::uri, out);
    };
    t.put_Cancel = [](auto* f, BOOL cancel) { return fake<FakeArgs>(f).answer = cancel, S_OK; };
    return t;
}();
inline const auto messageVtbl = [] {
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
inline const auto newWindowVtbl = [] {
    auto t = unknownTable<FakeArgs, ICoreWebView2NewWindowRequestedEventArgsVtbl>();
    t.put_Handled = [](auto* f, BOOL handled) { return fake<FakeArgs>(f).answer = handled, S_OK; };
    return t;
}();

} // namespace hub::test

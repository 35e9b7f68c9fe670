#include "app/web_view_host.h"

#include "app/com_handler.h"
#include "app/interface_host.h"
#include "util/co_task_text.h"
#include "util/text.h"

#include <stdexcept>
#include <utility>

namespace hub {
namespace {

using namespace webview;

// Adds one event handler and returns its token, or nothing when the runtime refused it.
template <class Handler, class Add, class Function>
std::optional<EventRegistrationToken> addHandler(ICoreWebView2* view, Add add, Function function) {
    const auto handler = ComHandler<Handler>::make(std::move(function));
    EventRegistrationToken token{};
    if (FAILED((view->lpVtbl->*add)(view, handler.get(), &token))) {
        return std::nullopt;
    }
    return token;
}

template <class Remove>
void removeHandler(ICoreWebView2* view, Remove remove,
                   std::optional<EventRegistrationToken>& token) {
    if (token) {
        (view->lpVtbl->*remove)(view, *token);
        token.reset();
    }
}

// A text out of a getter, or nothing when the call fails or gives no text.
template <class Object, class Getter> CoTaskText readText(Object* object, Getter getter) {
    LPWSTR text = nullptr;
    const HRESULT result = (object->lpVtbl->*getter)(object, &text);
    CoTaskText owned(text);
    if (FAILED(result)) {
        owned.reset();
    }
    return owned;
}

HRESULT onNavigationStarting(ICoreWebView2NavigationStartingEventArgs* args) {
    const CoTaskText address =
        readText(args, &ICoreWebView2NavigationStartingEventArgsVtbl::get_Uri);
    if (!address || !isInterfaceAddress(address.get())) {
        args->lpVtbl->put_Cancel(args, TRUE);
    }
    return S_OK;
}

} // namespace

WebViewHost::WebViewHost(ICoreWebView2Controller* controller, const RECT& bounds,
                         const std::filesystem::path& interfaceFolder, WebViewClient client)
    : client_(std::move(client)), controller_(ComRef<ICoreWebView2Controller>::share(controller)) {
    controller->lpVtbl->get_CoreWebView2(controller, view_.put());
    if (!view_) {
        throw std::runtime_error("the web view controller has no web view");
    }
    if (const auto controller2 = controller_.query<ICoreWebView2Controller2>()) {
        controller2.get()->lpVtbl->put_DefaultBackgroundColor(controller2.get(),
                                                              {255, 0x1B, 0x24, 0x33});
    }
    resize(bounds);
    configure(interfaceFolder);
}

void WebViewHost::configure(const std::filesystem::path& interfaceFolder) {
    ICoreWebView2* view = view_.get();
    ComRef<ICoreWebView2Settings> settings;
    if (SUCCEEDED(view->lpVtbl->get_Settings(view, settings.put())) && settings) {
        ICoreWebView2Settings* raw = settings.get();
        raw->lpVtbl->put_AreDefaultContextMenusEnabled(raw, FALSE);
        raw->lpVtbl->put_AreDevToolsEnabled(raw, FALSE);
        raw->lpVtbl->put_IsStatusBarEnabled(raw, FALSE);
    }
    const auto view3 = view_.query<ICoreWebView2_3>();
    if (!view3) {
        client_.showError(L"This WebView2 version is too old.");
        return;
    }
    view3.get()->lpVtbl->SetVirtualHostNameToFolderMapping(
        view3.get(), std::wstring(interfaceHost).c_str(), interfaceFolder.c_str(),
        COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND_DENY_CORS);
    messageToken_ = addHandler<ICoreWebView2WebMessageReceivedEventHandler>(
        view, &ICoreWebView2Vtbl::add_WebMessageReceived,
        [this](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
            return onWebMessage(args);
        });
    navigationToken_ = addHandler<ICoreWebView2NavigationStartingEventHandler>(
        view, &ICoreWebView2Vtbl::add_NavigationStarting,
        [](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
            return onNavigationStarting(args);
        });
    newWindowToken_ = addHandler<ICoreWebView2NewWindowRequestedEventHandler>(
        view, &ICoreWebView2Vtbl::add_NewWindowRequested,
        [](ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) {
            return args->lpVtbl->put_Handled(args, TRUE);
        });
    view->lpVtbl->Navigate(view, std::wstring(interfaceStartAddress).c_str());
}

WebViewHost::~WebViewHost() {
    ICoreWebView2* view = view_.get();
    removeHandler(view, &ICoreWebView2Vtbl::remove_WebMessageReceived, messageToken_);
    removeHandler(view, &ICoreWebView2Vtbl::remove_NavigationStarting, navigationToken_);
    removeHandler(view, &ICoreWebView2Vtbl::remove_NewWindowRequested, newWindowToken_);
    controller_.get()->lpVtbl->Close(controller_.get());
}

HRESULT WebViewHost::onWebMessage(ICoreWebView2WebMessageReceivedEventArgs* args) const {
    // A page that is not ours (a frame, or anything that got past the navigation filter) is
    // not obeyed.
    const CoTaskText source =
        readText(args, &ICoreWebView2WebMessageReceivedEventArgsVtbl::get_Source);
    if (!source || !isInterfaceAddress(source.get())) {
        return S_OK;
    }
    CoTaskText json =
        readText(args, &ICoreWebView2WebMessageReceivedEventArgsVtbl::get_WebMessageAsJson);
    if (!json) {
        return S_OK;
    }
    std::string message;
    try {
        message = toUtf8(json.get());
    } catch (const std::runtime_error&) {
        return S_OK; // text that is not UTF-16 is ignored like a message that cannot be read
    }
    json.reset();
    client_.handleMessage(message);
    publishState();
    return S_OK;
}

void WebViewHost::publishState() const {
    const std::wstring json = toWide(client_.snapshot());
    view_.get()->lpVtbl->PostWebMessageAsJson(view_.get(), json.c_str());
}

void WebViewHost::resize(const RECT& bounds) const {
    controller_.get()->lpVtbl->put_Bounds(controller_.get(), bounds);
}

} // namespace hub

#pragma once

#include "app/com_ref.h"
#include "app/webview2.h"

#include <windows.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace hub {

// What the web view asks of the window that hosts it.
struct WebViewClient {
    std::function<void(std::string_view json)> handleMessage; // one interface message, UTF-8
    std::function<std::string()> snapshot;                    // the state to post, UTF-8 JSON
    std::function<void(const std::wstring& text)> showError;
};

// The web view once its controller exists. The constructor completes it: dark default
// background, no context menu, developer tools or status bar, the interface folder on the
// private interface host, the three handlers, and the start address. Messages are obeyed only
// from pages on the interface host; navigations anywhere else (or to an address that cannot be
// read) are cancelled; new windows never open. The destructor removes the handlers and closes
// the controller.
class WebViewHost {
public:
    WebViewHost(webview::ICoreWebView2Controller* controller, const RECT& bounds,
                const std::filesystem::path& interfaceFolder, WebViewClient client);
    ~WebViewHost();
    WebViewHost(const WebViewHost&) = delete;
    WebViewHost& operator=(const WebViewHost&) = delete;

    // Posts the client's snapshot; a failed post is left to the next one.
    void publishState() const;
    void resize(const RECT& bounds) const;

private:
    void configure(const std::filesystem::path& interfaceFolder);
    HRESULT onWebMessage(webview::ICoreWebView2WebMessageReceivedEventArgs* args) const;

    WebViewClient client_;
    ComRef<webview::ICoreWebView2Controller> controller_;
    ComRef<webview::ICoreWebView2> view_;
    std::optional<EventRegistrationToken> navigationToken_;
    std::optional<EventRegistrationToken> messageToken_;
    std::optional<EventRegistrationToken> newWindowToken_;
};

} // namespace hub

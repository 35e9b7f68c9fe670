#pragma once

#include "app/webview2.h"

namespace hub {

// Starts creating a web-view environment, like the runtime's own loader library does: finds the
// runtime (app/webview_runtime_search.h), loads its embedded browser library and calls its
// environment-creation export, which calls `handler` later on this thread. When no runtime can be
// found or loaded, the handler is called later on this thread with the failure too, so that the
// window reports a missing runtime the same way as one that fails to start. A failing result
// means that creation could not even be started. The calling thread must be a single-threaded
// COM apartment that runs a message loop.
HRESULT createCoreWebView2EnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder, IUnknown* environmentOptions,
    webview::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);

} // namespace hub

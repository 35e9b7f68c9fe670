#pragma once

#include "app/web_view_host.h"
#include "app/webview2.h"
#include "controller/application_controller.h"
#include "settings/app_folders.h"

#include <windows.h>

#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

namespace hub {

// The hub's only window: it owns the application controller, hosts the interface in a web view
// that fills it, passes every interface message to the controller and posts the controller's
// state back after each message and every 250 ms, offers the controller a folder dialog, asks
// before closing while an operation runs, and follows DPI changes.
class DesktopWindow {
public:
    // Builds the controller, then the window, its timer and the asynchronous web view. Throws
    // with the user text when the interface, the window or the web view cannot be started;
    // nothing of the window is left behind then.
    explicit DesktopWindow(std::filesystem::path interfaceFolder);
    ~DesktopWindow();
    DesktopWindow(const DesktopWindow&) = delete;
    DesktopWindow& operator=(const DesktopWindow&) = delete;

    // After the message loop: closes the web view and the window and hands over the controller,
    // whose end may wait for its background work.
    std::unique_ptr<ApplicationController> close() noexcept;
    // What a message handler failed with, which ended the message loop; null when none did.
    [[nodiscard]] std::exception_ptr failure() const noexcept { return failure_; }

    void publishState();
    void resizeWebView();
    void showError(const std::wstring& text) const;
    std::optional<std::filesystem::path> pickFolder(const std::wstring& title,
                                                    const std::filesystem::path& initialFolder);

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void createWindow();
    void createWebView();
    HRESULT onEnvironment(HRESULT result, webview::ICoreWebView2Environment* environment);
    HRESULT onController(HRESULT result, webview::ICoreWebView2Controller* controller);
    void finishWebViewSetup(webview::ICoreWebView2Controller* controller);
    void onClose();
    void limitTrackSize(MINMAXINFO& limits) const;
    void destroyWindow() noexcept;

    struct BrushDeleter {
        void operator()(HBRUSH brush) const noexcept { DeleteObject(brush); }
    };

    HINSTANCE instance_;
    // The window class's background; the class is unregistered before the brush goes.
    std::unique_ptr<std::remove_pointer_t<HBRUSH>, BrushDeleter> background_;
    HWND window_ = nullptr;
    std::filesystem::path interfaceFolder_;
    AppFolders folders_;
    std::unique_ptr<ApplicationController> controller_;
    std::unique_ptr<WebViewHost> webView_;
    bool pickingFolder_ = false;
    std::exception_ptr failure_;
    // What the runtime's completion handlers reach this window through: they may be called
    // after it is gone (from a later message loop, such as an error box's), and then do nothing.
    std::shared_ptr<DesktopWindow*> self_ = std::make_shared<DesktopWindow*>(this);
};

} // namespace hub

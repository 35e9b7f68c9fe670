#include "app/desktop_window.h"

#include "app/com_handler.h"
#include "app/folder_dialog.h"
#include "app/single_instance.h"
#include "app/webview_runtime.h"
#include "app/window_placement.h"
#include "util/paths.h"

#include <dwmapi.h>

#include <stdexcept>
#include <utility>

namespace hub {
namespace {

using namespace webview;

constexpr wchar_t title[] = L"Orvantis Hub";
constexpr UINT_PTR tickTimer = 1;
constexpr COLORREF background = 0x291C15;

void setFrameColours(HWND window) {
    // Immersive dark mode, caption colour, border colour, caption text colour: attributes of
    // Windows 10 2004 and 11 that this SDK's headers do not name yet.
    const std::pair<DWORD, DWORD> attributes[] = {
        {20, 1},
        {35, background},
        {34, 0x5C4433},
        {36, 0xE0D0C4},
    };
    for (const auto& [attribute, value] : attributes) {
        DwmSetWindowAttribute(window, attribute, &value, sizeof(value));
    }
}

// Checked before anything is built: a start that cannot show its interface neither runs the
// controller's recovery nor waits for its threads to end before it can say so.
std::filesystem::path checkedInterface(std::filesystem::path folder) {
    if (!std::filesystem::exists(folder / L"index.html")) {
        throw std::runtime_error("React interface not found in '" + pathToUtf8(folder) + "'");
    }
    return folder;
}

} // namespace

DesktopWindow::DesktopWindow(std::filesystem::path interfaceFolder)
    : instance_(GetModuleHandleW(nullptr)),
      interfaceFolder_(checkedInterface(std::move(interfaceFolder))), folders_(createAppFolders()),
      controller_(std::make_unique<ApplicationController>(
          folders_, [this](const std::wstring& dialogTitle, const std::filesystem::path& initial) {
              return pickFolder(dialogTitle, initial);
          })) {
    try {
        createWindow();
        setFrameColours(window_);
        ShowWindow(window_, SW_SHOW);
        UpdateWindow(window_);
        SetTimer(window_, tickTimer, 250, nullptr);
        createWebView();
    } catch (...) {
        // The window must not outlive this object, nor reach it from the error box's loop.
        *self_ = nullptr;
        destroyWindow();
        throw;
    }
}

DesktopWindow::~DesktopWindow() {
    *self_ = nullptr;
    webView_.reset();
    destroyWindow();
}

std::unique_ptr<ApplicationController> DesktopWindow::close() noexcept {
    webView_.reset();
    destroyWindow();
    return std::move(controller_);
}

void DesktopWindow::createWindow() {
    WNDCLASSEXW windowClassInfo{};
    windowClassInfo.cbSize = sizeof(windowClassInfo);
    windowClassInfo.style = CS_HREDRAW | CS_VREDRAW;
    windowClassInfo.lpfnWndProc = windowProcedure;
    windowClassInfo.hInstance = instance_;
    windowClassInfo.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClassInfo.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(101));
    windowClassInfo.hIconSm = windowClassInfo.hIcon;
    background_.reset(CreateSolidBrush(background));
    windowClassInfo.hbrBackground = background_.get();
    windowClassInfo.lpszClassName = hubWindowClass;
    RegisterClassExW(&windowClassInfo);

    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    const RECT place = initialPlacement(GetDpiForSystem(), workArea);
    CreateWindowExW(0, hubWindowClass, title, WS_OVERLAPPEDWINDOW, place.left, place.top,
                    place.right - place.left, place.bottom - place.top, nullptr, nullptr, instance_,
                    this);
    if (window_ == nullptr) {
        throw std::runtime_error("unable to create the main window");
    }
}

void DesktopWindow::destroyWindow() noexcept {
    if (window_ != nullptr) {
        const HWND window = std::exchange(window_, nullptr);
        KillTimer(window, tickTimer);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
    UnregisterClassW(hubWindowClass, instance_);
}

void DesktopWindow::createWebView() {
    const auto handler =
        ComHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>::make(
            [self = self_](HRESULT result, ICoreWebView2Environment* environment) {
                return *self ? (*self)->onEnvironment(result, environment) : E_ABORT;
            });
    if (FAILED(createCoreWebView2EnvironmentWithOptions(nullptr, folders_.webViewDataFolder.c_str(),
                                                        nullptr, handler.get()))) {
        throw std::runtime_error("unable to initialize WebView2");
    }
}

HRESULT DesktopWindow::onEnvironment(HRESULT result, ICoreWebView2Environment* environment) {
    if (FAILED(result) || environment == nullptr) {
        showError(L"WebView2 Runtime is missing or could not start.");
        return FAILED(result) ? result : E_POINTER;
    }
    const auto handler =
        ComHandler<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>::make(
            [self = self_](HRESULT created, ICoreWebView2Controller* controller) {
                return *self ? (*self)->onController(created, controller) : E_ABORT;
            });
    return environment->lpVtbl->CreateCoreWebView2Controller(environment, window_, handler.get());
}

HRESULT DesktopWindow::onController(HRESULT result, ICoreWebView2Controller* controller) {
    if (FAILED(result) || controller == nullptr) {
        showError(L"The WebView2 view could not be created.");
        return FAILED(result) ? result : E_POINTER;
    }
    finishWebViewSetup(controller);
    return S_OK;
}

void DesktopWindow::finishWebViewSetup(ICoreWebView2Controller* controller) {
    if (window_ == nullptr) {
        return; // closed while the view was on its way
    }
    RECT bounds{};
    GetClientRect(window_, &bounds);
    webView_ = std::make_unique<WebViewHost>(
        controller, bounds, interfaceFolder_,
        WebViewClient{[this](std::string_view json) { controller_->handleMessage(json); },
                      [this] { return controller_->snapshot(); },
                      [this](const std::wstring& text) { showError(text); }});
}

void DesktopWindow::publishState() {
    if (webView_) {
        webView_->publishState();
    }
}

void DesktopWindow::resizeWebView() {
    if (webView_ && window_ != nullptr) {
        RECT bounds{};
        GetClientRect(window_, &bounds);
        webView_->resize(bounds);
    }
}

void DesktopWindow::showError(const std::wstring& text) const {
    MessageBoxW(window_, text.c_str(), title, MB_OK | MB_ICONERROR);
}

std::optional<std::filesystem::path>
DesktopWindow::pickFolder(const std::wstring& dialogTitle,
                          const std::filesystem::path& initialFolder) {
    struct Picking {
        bool& flag;
        explicit Picking(bool& picking) : flag(picking) { flag = true; }
        ~Picking() { flag = false; }
    } picking(pickingFolder_);
    return showFolderDialog(window_, dialogTitle, initialFolder);
}

void DesktopWindow::onClose() {
    if (controller_->isBusy() &&
        MessageBoxW(window_,
                    L"An installation is in progress.\nQuit and cancel it? The installed "
                    L"version will stay unchanged.",
                    title, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
        return;
    }
    DestroyWindow(window_);
}

void DesktopWindow::limitTrackSize(MINMAXINFO& limits) const {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const SIZE minimum = minimumTrackSize(GetDpiForWindow(window_), monitor.rcWork);
        limits.ptMinTrackSize = {minimum.cx, minimum.cy};
    }
}

LRESULT DesktopWindow::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam == tickTimer && !pickingFolder_) {
            controller_->tick();
            publishState();
        }
        return 0;
    case WM_SIZE:
        resizeWebView();
        return 0;
    case WM_GETMINMAXINFO:
        limitTrackSize(*reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_DPICHANGED: {
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested.left, suggested.top,
                     suggested.right - suggested.left, suggested.bottom - suggested.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CLOSE:
        onClose();
        return 0;
    case WM_DESTROY:
        KillTimer(window, tickTimer);
        window_ = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK DesktopWindow::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<DesktopWindow*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    // Without its object (before creation, or after the object let go of it) the window only
    // gets the default handling; in particular it never posts the quit message.
    auto* self = reinterpret_cast<DesktopWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // An exception must not unwind through the system's frames: the loop ends and the run
    // rethrows it.
    try {
        return self->handle(window, message, wParam, lParam);
    } catch (...) {
        self->failure_ = std::current_exception();
        PostQuitMessage(1);
        return 0;
    }
}

} // namespace hub

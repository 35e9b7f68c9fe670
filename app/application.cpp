#include "app/application.h"

#include "app/desktop_window.h"
#include "util/executable_folder.h"
#include "util/library.h"
#include "util/text.h"

#include <objbase.h>
#include <windows.h>

#include <chrono>
#include <exception>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace hub {
namespace {

// How long the controller may take to end its work once the window is gone. An update download
// cannot be cancelled; a hidden process that outlives the window for minutes helps nobody, and
// the disk journal lets the next start finish what an ended operation left.
constexpr std::chrono::seconds teardownLimit{10};

class ComApartment {
public:
    ComApartment() {
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
            throw std::runtime_error("unable to initialize COM");
        }
    }
    ~ComApartment() { CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

void usePerMonitorDpi() {
    // Looked up at run time: the result is ignored, and older systems lack the function.
    BOOL(WINAPI * setContext)(DPI_AWARENESS_CONTEXT) = nullptr;
    if (const HMODULE user32 = GetModuleHandleW(L"user32.dll");
        user32 != nullptr && resolveExport(user32, "SetProcessDpiAwarenessContext", setContext)) {
        setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    }
}

int runMessageLoop() {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

void reportFailure(const std::exception_ptr& failure) noexcept {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        std::filesystem::path folder;
        try {
            folder = executableFolder();
        } catch (const std::exception&) {
            // The box still says it; the log has no place to go.
        }
        reportStartupError(folder, error.what());
    } catch (...) {
        // Not a standard exception: it has no text, and the exit code 1 is all that says it.
    }
}

} // namespace

int runApplication(const std::filesystem::path& interfaceFolder) {
    usePerMonitorDpi();
    const ComApartment apartment;
    auto window = std::make_unique<DesktopWindow>(interfaceFolder);
    const int exitCode = runMessageLoop();
    const std::exception_ptr failure = window->failure();
    std::unique_ptr<ApplicationController> controller = window->close();
    window.reset();
    if (!controller->shutdown(teardownLimit)) {
        // The controller's threads still run: end the process before they meet a torn-down one,
        // having said first what ended the loop, if anything did.
        if (failure) {
            reportFailure(failure);
        }
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(failure ? 1 : exitCode));
    }
    controller.reset();
    if (failure) {
        std::rethrow_exception(failure);
    }
    return exitCode;
}

void reportStartupError(const std::filesystem::path& folder, const char* text) noexcept {
    try {
        if (!folder.empty()) {
            std::ofstream(folder / L"orv-hub-error.log", std::ios::binary | std::ios::trunc)
                << text << '\n';
        }
        MessageBoxW(nullptr, toWideLenient(text).c_str(), L"Orvantis Hub - startup error",
                    MB_OK | MB_ICONERROR);
    } catch (const std::exception&) {
        // Nothing is left to report a failed report to.
    }
}

} // namespace hub

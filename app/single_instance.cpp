#include "app/single_instance.h"

#include <utility>

namespace hub {

SingleInstance::SingleInstance(std::wstring name) : name_(std::move(name)) {
    claim();
}

void SingleInstance::claim() {
    // Our own handle would keep the name alive: it goes before the name is tried again.
    mutex_.reset();
    mutex_.reset(CreateMutexW(nullptr, FALSE, name_.c_str()));
    const DWORD error = GetLastError();
    anotherRunning_ = mutex_ ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
    if (anotherRunning_) {
        // Kept only by the start that runs: two waiting starts would keep the name alive for
        // each other, and neither would ever see it free.
        mutex_.reset();
    }
}

bool SingleInstance::waitForOthersToEnd(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (anotherRunning_) {
        if (bringRunningHubForward() || std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        Sleep(100);
        claim();
    }
    return true;
}

bool bringRunningHubForward() noexcept {
    const HWND window = FindWindowW(hubWindowClass, nullptr);
    if (window == nullptr) {
        return false;
    }
    if (IsIconic(window)) {
        ShowWindow(window, SW_RESTORE);
    }
    SetForegroundWindow(window);
    return true;
}

} // namespace hub

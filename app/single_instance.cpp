#include "app/single_instance.h"

namespace hub {

SingleInstance::SingleInstance(const std::wstring& name)
    : mutex_(CreateMutexW(nullptr, FALSE, name.c_str())) {
    const DWORD error = GetLastError();
    anotherRunning_ = mutex_ ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
}

void bringRunningHubForward() noexcept {
    const HWND window = FindWindowW(hubWindowClass, nullptr);
    if (window == nullptr) {
        return;
    }
    if (IsIconic(window)) {
        ShowWindow(window, SW_RESTORE);
    }
    SetForegroundWindow(window);
}

} // namespace hub

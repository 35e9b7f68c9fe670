#pragma once

#include "util/unique_handle.h"

#include <string>

namespace hub {

// The claim on the session's single-instance mutex ("Local\OrvantisHub.SingleInstance").
class SingleInstance {
public:
    explicit SingleInstance(const std::wstring& name = L"Local\\OrvantisHub.SingleInstance");

    // Another hub runs in this session: the mutex existed already, or exists but may not be
    // opened, as when that hub runs elevated. When the mutex cannot be made for any other reason
    // this hub runs without the protection.
    [[nodiscard]] bool anotherRunning() const noexcept { return anotherRunning_; }

    // Lets a new start run once this one's window is gone, while its work is still ending.
    void release() noexcept { mutex_.reset(); }

private:
    UniqueHandle mutex_;
    bool anotherRunning_ = false;
};

// The class of the hub's main window, by which a second start finds the first one.
inline constexpr wchar_t hubWindowClass[] = L"OrvantisHubWindow";

// Restores and activates the window of the hub that runs already, when it has one yet.
void bringRunningHubForward() noexcept;

} // namespace hub

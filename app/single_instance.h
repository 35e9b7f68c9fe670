#pragma once

#include "util/unique_handle.h"

#include <chrono>
#include <string>

namespace hub {

// The claim on the session's single-instance mutex ("Local\OrvantisHub.SingleInstance"). The
// claim is the mutex's name: it lasts while a handle to it is open, so the hub holds it until its
// process ends, after the last thread that writes the user's folders has ended.
class SingleInstance {
public:
    explicit SingleInstance(std::wstring name = L"Local\\OrvantisHub.SingleInstance");

    // Another hub runs in this session: the mutex existed already, or exists but may not be
    // opened, as when that hub runs elevated. When the mutex cannot be made for any other reason
    // this hub runs without the protection.
    [[nodiscard]] bool anotherRunning() const noexcept { return anotherRunning_; }

    // For a start that found another hub: brings that hub's window forward when it has one, and
    // otherwise (it is closing, or still starting) tries again to claim the name every 100 ms,
    // until the other hub shows its window or the limit has passed. True when this start now
    // holds the claim and may run.
    bool waitForOthersToEnd(std::chrono::milliseconds limit = std::chrono::seconds(15));

private:
    void claim();

    std::wstring name_;
    UniqueHandle mutex_;
    bool anotherRunning_ = false;
};

// The class of the hub's main window, by which a second start finds the first one.
inline constexpr wchar_t hubWindowClass[] = L"OrvantisHubWindow";

// Restores and activates the window of the hub that runs already; false when it has none.
bool bringRunningHubForward() noexcept;

} // namespace hub

#pragma once

#include <filesystem>
#include <functional>

namespace hub {

// Runs the hub on this thread until its window closes and returns the exit code: per-monitor
// DPI, a single-threaded COM apartment, the main window on `interfaceFolder` and its message
// loop. `windowGone` is called once the window has closed; the controller is then given a
// bounded time to end its background work before the process ends regardless.
int runApplication(const std::filesystem::path& interfaceFolder,
                   const std::function<void()>& windowGone);

// Reports a failed start: the text alone in "orv-hub-error.log" in `folder` (when known) and in
// an error box without owner.
void reportStartupError(const std::filesystem::path& folder, const char* text) noexcept;

} // namespace hub

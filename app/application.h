#pragma once

#include <filesystem>

namespace hub {

// Runs the hub on this thread until its window closes and returns the exit code: per-monitor
// DPI, a single-threaded COM apartment, the main window on `interfaceFolder` and its message
// loop. Once the window has closed the controller is given a bounded time to end its work;
// after that the process ends regardless. A failure of a message handler is rethrown once the
// controller has ended.
int runApplication(const std::filesystem::path& interfaceFolder);

// Reports a failed start: the text alone in "orv-hub-error.log" in `folder` (when known) and in
// an error box without owner.
void reportStartupError(const std::filesystem::path& folder, const char* text) noexcept;

} // namespace hub

#pragma once

#include "simulators/process_list.h"
#include "util/process_start.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace hub {

struct ProcessOutcome {
    std::uint32_t exitCode = 0; // meaningful only when finished
    bool finished = false;      // false when the process was stopped
    bool cancelled = false;     // stopped because the cancel flag was raised, not at the time-out
};

// Starts the process and waits for it up to the time-out; a process still running then is
// terminated with exit code 1 and reported as not finished. With a cancel flag the wait is cut
// into slices of 100 ms, and a raised flag terminates the process the same way (reported as
// cancelled). Blocks for at most the time-out plus 2 seconds.
ProcessOutcome runAndWait(const std::filesystem::path& executable, std::wstring_view arguments,
                          std::uint32_t timeoutMilliseconds, bool hidden,
                          const std::atomic<bool>* cancel = nullptr);

// Whether a process with this executable file name runs (name compared ignoring case).
bool isProcessNamed(const std::vector<ProcessEntry>& processes, std::wstring_view name);

// Whether a process runs from exactly this executable. Processes this one may not query
// (another user's, elevated ones) never count.
bool isProcessRunningAt(const std::vector<ProcessEntry>& processes,
                        const std::filesystem::path& executable);

// Opens a file, folder or address with its associated program. Fails with
// "Unable to open <target>".
void openWithShell(std::wstring_view target);

} // namespace hub

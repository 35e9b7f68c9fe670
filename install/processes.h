#pragma once

#include "simulators/process_list.h"
#include "util/unique_handle.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace hub {

// A started process. The process handle is owned; the primary thread's handle is closed as
// soon as the process has started.
struct ProcessHandle {
    UniqueHandle process;
    std::uint32_t processId = 0;
    std::uint32_t threadId = 0;
};

struct ProcessOutcome {
    std::uint32_t exitCode = 0; // meaningful only when finished
    bool finished = false;      // false when the process was stopped
    bool cancelled = false;     // stopped because the cancel flag was raised, not at the time-out
};

// Starts executable with the command line "\"<executable>\" <arguments>" (the arguments go on
// unchanged, so they must arrive quoted where needed; no blank when they are empty), in the
// executable's folder, with childEnvironment(). Hidden starts it without a console window.
// Fails with "Unable to start <file name>: <system text>".
ProcessHandle startProcess(const std::filesystem::path& executable, std::wstring_view arguments,
                           bool hidden);

// Starts the process with its window allowed and lets it run on.
void startDetached(const std::filesystem::path& executable, std::wstring_view arguments);

// Starts the process and waits for it up to the time-out; a process still running then is
// terminated with exit code 1 and reported as not finished. With a cancel flag the wait is cut
// into slices of 100 ms, and a raised flag terminates the process the same way (reported as
// cancelled). Blocks for at most the time-out plus 2 seconds.
ProcessOutcome runAndWait(const std::filesystem::path& executable, std::wstring_view arguments,
                          std::uint32_t timeoutMilliseconds, bool hidden,
                          const std::atomic<bool>* cancel = nullptr);

// The environment block children receive: this process's own, without the web view's
// configuration variables (names beginning with "WEBVIEW2_" in any letter case).
std::wstring childEnvironment();

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

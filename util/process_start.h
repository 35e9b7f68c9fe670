#pragma once

#include "util/unique_handle.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace hub {

// A started process. The process handle is owned; the primary thread's handle is closed as
// soon as the process has started.
struct ProcessHandle {
    UniqueHandle process;
    std::uint32_t processId = 0;
    std::uint32_t threadId = 0;
};

// Starts executable with the command line "\"<executable>\" <arguments>" (the arguments go on
// unchanged, so they must arrive quoted where needed; no blank when they are empty), in the
// executable's folder, with childEnvironment(). Hidden starts it without a console window.
// Fails with "Unable to start <file name>: <system text>".
ProcessHandle startProcess(const std::filesystem::path& executable, std::wstring_view arguments,
                           bool hidden);

// Starts the process with its window allowed and lets it run on.
void startDetached(const std::filesystem::path& executable, std::wstring_view arguments);

// The environment block children receive: this process's own, without the web view's
// configuration variables (names beginning with "WEBVIEW2_" in any letter case).
std::wstring childEnvironment();

} // namespace hub

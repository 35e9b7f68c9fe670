// Figures for the program's start: the time from starting OrvantisHub.exe to its "runtime
// missing" box under Wine (median of 10), and the private memory of the idle window. With
// --baseline PROGRAM the same start time is measured for PROGRAM (for example a program that only
// shows a message box), to tell the hub's own share from Wine's.
// With --hold FOLDER it instead starts one hub, writes FOLDER\ready once the box shows and
// leaves everything open until FOLDER\done exists (for a screenshot).
#include "util/executable_folder.h"

#include "support/test_support.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Waits on the hub in 1 ms steps until it shows a window of that class.
HWND waitForWindow(HANDLE hub, const wchar_t* className) {
    const HWND window = hub::test::waitForWindow(hub, className, nullptr, 1);
    if (window == nullptr) {
        std::fprintf(stderr, "the hub ended without a %ls window\n", className);
        std::exit(1);
    }
    return window;
}

HANDLE startHub(const fs::path& folder) {
    const HANDLE hub = hub::test::startHub(folder);
    if (hub == nullptr) {
        std::fprintf(stderr, "cannot start the hub\n");
        std::exit(1);
    }
    return hub;
}

// Closes the hub's box and window and waits until the window is gone (the next start may run
// then); the process may still be ending its background work.
void closeHub(HANDLE hub, HWND box) {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    const HWND window = waitForWindow(hub, L"OrvantisHubWindow");
    PostMessageW(window, WM_CLOSE, 0, 0);
    while (IsWindow(window) && WaitForSingleObject(hub, 1) == WAIT_TIMEOUT) {
    }
}

} // namespace

int main(int argc, char** argv) {
    const fs::path folder = fs::temp_directory_path() / L"hub-window-benchmark";
    fs::remove_all(folder);
    fs::create_directories(folder / L"ui");
    std::ofstream(folder / L"ui" / L"index.html") << "<html></html>";
    const bool baseline = argc == 3 && std::string(argv[1]) == "--baseline";
    fs::copy_file(baseline ? fs::path(argv[2])
                           : hub::executableFolder().parent_path() / L"OrvantisHub.exe",
                  folder / L"OrvantisHub.exe");

    if (argc == 3 && std::string(argv[1]) == "--hold") {
        const fs::path signals = argv[2];
        const auto hub = startHub(folder);
        const HWND box = waitForWindow(hub, L"#32770");
        std::ofstream(signals / L"ready") << "ready\n";
        while (!fs::exists(signals / L"done")) {
            WaitForSingleObject(hub, 50);
        }
        closeHub(hub, box);
        WaitForSingleObject(hub, INFINITE);
        return 0;
    }

    std::vector<double> startTimes;
    std::vector<HANDLE> ending;
    SIZE_T privateBytes = 0;
    for (int run = 0; run < 10; ++run) {
        const auto started = Clock::now();
        const auto hub = startHub(folder);
        const HWND box = waitForWindow(hub, L"#32770");
        startTimes.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - started).count());
        if (baseline) {
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            ending.push_back(hub);
            continue;
        }
        if (run == 9) {
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            waitForWindow(hub, L"OrvantisHubWindow");
            WaitForSingleObject(hub, 3000); // idle: only its 250 ms timer runs
            PROCESS_MEMORY_COUNTERS_EX memory{};
            GetProcessMemoryInfo(hub, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                                 sizeof(memory));
            // Wine leaves PrivateUsage at 0; its committed private bytes are the pagefile usage.
            privateBytes = std::max(memory.PrivateUsage, memory.PagefileUsage);
        }
        closeHub(hub, box);
        ending.push_back(hub);
    }
    for (const HANDLE process : ending) {
        WaitForSingleObject(process, INFINITE);
        CloseHandle(process);
    }
    std::sort(startTimes.begin(), startTimes.end());
    std::printf("start to the runtime-missing box: median %.1f ms (min %.1f, max %.1f, 10 runs)\n",
                (startTimes[4] + startTimes[5]) / 2, startTimes.front(), startTimes.back());
    if (!baseline) {
        std::printf("private memory of the idle window: %.1f MB\n",
                    static_cast<double>(privateBytes) / 1048576.0);
    }
    fs::remove_all(folder);
    return 0;
}

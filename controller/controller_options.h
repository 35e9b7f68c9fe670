#pragma once

#include "catalog/origins.h"
#include "install/component_operation.h"
#include "simulators/simulator_installations.h"
#include "util/clipboard.h"

#include <chrono>
#include <functional>
#include <string_view>
#include <thread>
#include <vector>

namespace hub {

// What the controller takes from its surroundings. The window uses the defaults; tests and the
// headless test host replace the parts that would reach the real network, the real simulator
// folders, the host's browser, the clipboard or the real clock.
struct ControllerOptions {
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using Discovery = std::function<std::vector<SimulatorInstallation>()>;
    using ShellOpen = std::function<void(std::wstring_view target)>;
    using ThreadStart = std::function<std::thread(std::function<void()> body)>;
    using InstalledReader = std::function<InstalledState(const CatalogComponent& component,
                                                         const std::filesystem::path& folder)>;
    using ClipboardWrite = std::function<void(std::string_view text)>;

    // The maker's web and documentation origins: catalog addresses, the package catalog, the
    // update feed, the contact and privacy pages.
    Origins origins = builtInOrigins();
    Clock clock = defaultClock;
    Discovery discover = defaultDiscovery;
    ShellOpen openWithShell = defaultShellOpen;
    // Starts the worker, the package-catalog thread and the background installed-state reads;
    // may throw like std::thread's constructor.
    ThreadStart startThread = defaultThreadStart;
    // Reads one component's installed state from its folder; called on the window's thread and
    // on the background reads.
    InstalledReader readInstalled = readInstalledVersion;
    // Receives the support report; fails with the message to show.
    ClipboardWrite writeClipboard = copyTextToClipboard;

    static std::chrono::steady_clock::time_point defaultClock();
    static std::vector<SimulatorInstallation> defaultDiscovery();
    static void defaultShellOpen(std::wstring_view target);
    static std::thread defaultThreadStart(std::function<void()> body);
};

} // namespace hub

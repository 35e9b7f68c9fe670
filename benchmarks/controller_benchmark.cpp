// Figures of the controller: the state snapshot's build-and-serialise time and size with the
// full catalog and four installations, the tick's cost with 300 processes running, and the
// headless host's start-up time and private memory. Run by benchmarks/run.sh.
#include "controller/application_controller.h"
#include "harness/headless_host/host_process.h"
#include "install/processes.h"
#include "install/receipt.h"
#include "settings/app_folders.h"
#include "simulators/process_list.h"
#include "support/test_support.h"
#include "util/executable_folder.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using hub::test::TempFolder;

double milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// Median and 99th percentile, in milliseconds, of a call repeated count times.
template <typename Call> void printTimes(const char* what, int count, Call call) {
    std::vector<double> times;
    for (int index = 0; index < count; ++index) {
        const auto start = Clock::now();
        call();
        times.push_back(milliseconds(Clock::now() - start));
    }
    std::ranges::sort(times);
    std::printf("%-44s median %8.4f ms   p99 %8.4f ms   (%d runs)\n", what, times[times.size() / 2],
                times[times.size() * 99 / 100], count);
}

std::vector<hub::SimulatorInstallation> fourInstallations(const fs::path& root) {
    std::vector<hub::SimulatorInstallation> list;
    for (const char* id :
         {"msfs2024-steam", "msfs2024-store", "msfs2020-steam", "msfs2020-store"}) {
        const bool is2024 = std::string_view{id}.starts_with("msfs2024");
        const fs::path community = root / id / L"Community";
        fs::create_directories(community);
        list.push_back({id, is2024 ? "msfs2024" : "msfs2020", is2024 ? "MSFS 2024" : "MSFS 2020",
                        "Steam", community, true});
    }
    return list;
}

void controllerFigures(const fs::path& testPrograms) {
    const TempFolder root;
    const auto folders = hub::createAppFoldersUnder(root / L"local");
    const auto application = folders.localAppDataFolder / L"Orvantis.CameraSystem";
    fs::create_directories(application);
    fs::copy_file(testPrograms / L"hub_test_child.exe", application / L"ORV-Camera.exe");
    hub::writeReceipt(application, hub::componentById(hub::buildCatalog(), "orv-camera"));
    Clock::time_point now = Clock::now();
    hub::ControllerOptions options;
    options.origins = {.web = "https://localhost:1", .documentation = "https://localhost:1"};
    options.clock = [&now] { return now; };
    const auto installations = fourInstallations(root.path());
    options.discover = [&installations] { return installations; };
    hub::ApplicationController controller(folders, {}, options);

    std::size_t size = 0;
    printTimes("snapshot, build and serialise", 10'000,
               [&] { size = controller.snapshot().size(); });
    std::printf("%-44s %zu bytes\n", "snapshot size", size);

    std::vector<hub::ProcessHandle> children;
    for (int index = 0; index < 300; ++index) {
        children.push_back(
            hub::startProcess(testPrograms / L"hub_test_child.exe", L"sleep 600000", true));
    }
    controller.tick();
    printTimes("tick, nothing due", 1'000, [&] { controller.tick(); });
    printTimes("tick, running state (300 processes)", 50, [&] {
        now += std::chrono::seconds(1);
        controller.tick();
    });
    printTimes("tick, running and installed state", 50, [&] {
        now += std::chrono::seconds(3);
        controller.tick();
    });
    printTimes("of which the process list alone", 50, [] { hub::listProcesses(); });
    for (const auto& child : children) {
        TerminateProcess(child.process.get(), 0);
        WaitForSingleObject(child.process.get(), INFINITE);
    }
}

void hostFigures(const fs::path& testPrograms) {
    const TempFolder root;
    const auto start = Clock::now();
    hub::test::HostProcess host(testPrograms / L"hub_headless_host.exe",
                                L"--web-origin https://localhost:1 --local-app-data \"" +
                                    (root / L"local").native() + L"\" --roaming-app-data \"" +
                                    (root / L"roaming").native() + L"\"");
    host.readLine();
    std::printf("%-44s %8.1f ms\n", "headless host, start to first snapshot",
                milliseconds(Clock::now() - start));
    for (int index = 0; index < 1'000; ++index) {
        host.send(index % 2 == 0 ? R"({"type":"refresh"})"
                                 : R"({"type":"launch","componentId":"orv-camera"})");
        host.readLine();
    }
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(host.process(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof(memory));
    // Wine leaves PrivateUsage at zero; the commit charge is the same figure on Windows.
    const auto privateBytes = std::max(memory.PrivateUsage, memory.PagefileUsage);
    std::printf("%-44s %8.1f MB\n", "headless host, private memory (1,000 messages)",
                static_cast<double>(privateBytes) / 1'048'576.0);
    host.close();
}

} // namespace

int main() {
    const fs::path testPrograms = hub::executableFolder().parent_path() / L"tests";
    try {
        hostFigures(testPrograms);
        controllerFigures(testPrograms);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
    return 0;
}

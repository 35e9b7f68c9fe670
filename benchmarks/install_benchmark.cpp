// Installs a large package from the local HTTPS test server and prints the time and
// throughput of every phase next to a baseline measured on the same machine in the same run:
// the download (its checksum published, so hashed while written) next to a plain WinHTTP
// client, the extraction next to the same extractArchive call run bare on the plain client's
// fresh download, the whole one-volume install next to the plain download plus the bare
// extraction. Each figure is the median of three rounds; the rounds alternate whether the
// baselines or the product go first, and before every measured phase the disk's write-back is
// waited for, so that neither pays for pages the other left unwritten. Then once each: the
// install with the copy forced as across volumes (against a plain recursive copy), an update
// over the installed version, an uninstall and the cancel latencies. Run it with "sh
// benchmarks/run.sh" (see README.md), which starts it in the test prefix beside the harness's
// HTTPS test server.

#include "harness/https_test_server.h"
#include "install/component_operation.h"
#include "install/package_download.h"
#include "install/package_preparation.h"
#include "install/staged_activation.h"
#include "util/https_get.h"
#include "zip_writer.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t largeFileBytes = 300u << 20;
constexpr int smallFileCount = 5000;
constexpr int smallFilesPerFolder = 100;
constexpr char packageFolder[] = "orvantis-benchmark-package";
constexpr double mebibyte = 1024.0 * 1024.0;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Fast deterministic bytes with about six bits of entropy each, so that deflate has work to
// do and the archive is smaller than the content, as with real packages.
class ContentGenerator {
public:
    std::string bytes(std::size_t count) {
        std::string out(count, '\0');
        for (auto& c : out) {
            state_ ^= state_ << 13;
            state_ ^= state_ >> 7;
            state_ ^= state_ << 17;
            c = static_cast<char>(0x20 + (state_ & 0x3F));
        }
        return out;
    }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

struct PackageSize {
    std::uint64_t contentBytes = 0;
    std::uint64_t archiveBytes = 0;
    std::uint64_t smallBytes = 0;
};

PackageSize writePackage(const fs::path& archive) {
    ContentGenerator generator;
    PackageSize size;
    hub::test::ZipWriter zip(archive);
    const std::string root = std::string(packageFolder) + "/";
    zip.addFolder(root);
    const std::string manifest = R"({"package_version": "1.0.0"})";
    zip.addFile(root + "manifest.json", manifest);
    for (int index = 0; index < smallFileCount; ++index) {
        const std::string content = generator.bytes(512 + (index * 37) % 7680);
        size.smallBytes += content.size();
        zip.addFile(root + "small/" + std::to_string(index / smallFilesPerFolder) + "/file" +
                        std::to_string(index) + ".bin",
                    content);
    }
    const std::string large = generator.bytes(largeFileBytes);
    zip.addFile(root + "large/texture.bin", large);
    zip.finish();
    size.contentBytes = manifest.size() + size.smallBytes + large.size();
    size.archiveBytes = fs::file_size(archive);
    return size;
}

void printRow(const char* phase, double seconds, double bytes, const char* baseline = nullptr,
              double baselineSeconds = 0.0) {
    std::printf("%-26s %8.2f s", phase, seconds);
    if (bytes > 0.0 && seconds > 0.0) {
        std::printf(" %9.1f MiB/s", bytes / mebibyte / seconds);
    } else {
        std::printf(" %15s", "");
    }
    if (baseline != nullptr) {
        std::printf("   %-24s %8.2f s", baseline, baselineSeconds);
        if (bytes > 0.0 && baselineSeconds > 0.0) {
            std::printf(" %9.1f MiB/s", bytes / mebibyte / baselineSeconds);
        }
    }
    std::printf("\n");
}

// Baseline download: a bare WinHTTP read loop into a file, no progress, no checks.
double plainDownload(const std::string& url, const fs::path& file) {
    const auto start = Clock::now();
    hub::HttpsGet get{
        url, hub::HttpsGetOptions{{15000, 30000, 30000, 30000},
                                  {},
                                  {"invalid url", "initialize", "connect", "request", "read"}}};
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    get.readBody(1 << 20, [&out](std::string_view chunk) {
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    });
    out.close();
    return secondsSince(start);
}

double bareExtraction(const fs::path& archive, const fs::path& folder) {
    fs::create_directories(folder);
    const auto start = Clock::now();
    hub::extractArchive(archive, folder);
    return secondsSince(start);
}

// Waits until the host has written back what earlier phases left in its page cache: runs the
// host's sync (Wine starts host programs), else flushes nothing and says so once.
void settleDisk() {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring command = L"Z:\\bin\\sync";
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        static bool told = false;
        if (!told) {
            std::printf("(cannot run the host's sync: phases may pay for each other's writes)\n");
            told = true;
        }
        return;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double plainCopy(const fs::path& from, const fs::path& to) {
    const auto start = Clock::now();
    fs::copy(from, to, fs::copy_options::recursive);
    return secondsSince(start);
}

double plainDelete(const std::vector<fs::path>& paths) {
    const auto start = Clock::now();
    for (const auto& path : paths) {
        fs::remove_all(path);
    }
    return secondsSince(start);
}

// The time at which each progress text was first seen, in order.
struct PhaseClock {
    Clock::time_point begin = Clock::now();
    std::vector<std::pair<std::string, Clock::time_point>> starts;

    // Seconds from the start of the operation to the first report of text: the download,
    // with its connection and checksum request, up to "Extracting package".
    [[nodiscard]] double secondsUntil(const std::string& text) const {
        for (const auto& [seen, at] : starts) {
            if (seen == text) {
                return std::chrono::duration<double>(at - begin).count();
            }
        }
        return 0.0;
    }

    hub::ProgressCallback callback() {
        return [this](double, const std::string& text) {
            if (starts.empty() || starts.back().first != text) {
                starts.emplace_back(text, Clock::now());
            }
        };
    }

    // Seconds from the first report of text to the next different text (or to end).
    [[nodiscard]] double seconds(const std::string& text, Clock::time_point end) const {
        for (std::size_t index = 0; index < starts.size(); ++index) {
            if (starts[index].first == text) {
                const auto until = index + 1 < starts.size() ? starts[index + 1].second : end;
                return std::chrono::duration<double>(until - starts[index].second).count();
            }
        }
        return 0.0;
    }
};

struct InstallTimes {
    PhaseClock phases;
    Clock::time_point end;
    double total = 0.0;
};

InstallTimes timedOperation(const hub::OperationRequest& request, hub::ActivityLog& log) {
    InstallTimes times;
    std::atomic<bool> cancel{false};
    const auto start = Clock::now();
    times.phases.begin = start;
    hub::runOperation(request, times.phases.callback(), cancel, log);
    times.end = Clock::now();
    times.total = std::chrono::duration<double>(times.end - start).count();
    return times;
}

// Seconds from raising the cancel flag to the end of the operation: the flag goes up 300 ms
// after the progress first shows the phase's text.
double cancelLatency(const hub::OperationRequest& request, const std::string& phase,
                     hub::ActivityLog& log) {
    std::atomic<bool> cancel{false};
    std::atomic<bool> phaseSeen{phase.empty()};
    std::atomic<std::int64_t> raisedAt{0};
    std::thread raiser([&] {
        while (!phaseSeen) {
            Sleep(10);
        }
        Sleep(300);
        raisedAt = Clock::now().time_since_epoch().count();
        cancel = true;
    });
    try {
        hub::runOperation(
            request,
            [&](double, const std::string& text) {
                if (text == phase || phase.empty()) {
                    phaseSeen = true;
                }
            },
            cancel, log);
    } catch (const std::exception&) {
        // Cancelled, as intended.
    }
    phaseSeen = true;
    raiser.join();
    const auto end = Clock::now().time_since_epoch().count();
    return static_cast<double>(end - raisedAt) * Clock::period::num / Clock::period::den;
}

void printCancelLatencies(const hub::CatalogComponent& component,
                          hub::test::HttpsTestServer& server, const fs::path& work,
                          hub::ActivityLog& log) {
    server.answer("/stalled.zip", {.body = "late", .delayMs = 60'000});
    auto stalled = component;
    stalled.downloadUrl = server.url("/stalled.zip");
    const fs::path target = work / L"Cancelled" / packageFolder;
    const hub::OperationRequest request{hub::OperationKind::Install, component, target,
                                        work / L"Downloads"};
    std::printf("\n%-36s %8s\n", "cancel latency", "time");
    std::printf("%-36s %8.3f s\n", "stalled download (server waits 60 s)",
                cancelLatency({hub::OperationKind::Install, stalled, target, work / L"Downloads"},
                              "", log));
    std::printf("%-36s %8.3f s\n", "download in progress",
                cancelLatency(request, "Downloading package", log));
    SetEnvironmentVariableW(L"HUB_TAR_STANDIN_PAUSE", L"1");
    std::printf("%-36s %8.3f s\n", "extraction that does not progress",
                cancelLatency(request, "Extracting package", log));
    SetEnvironmentVariableW(L"HUB_TAR_STANDIN_PAUSE", nullptr);
    std::printf("%-36s %8.3f s\n", "extraction in progress",
                cancelLatency(request, "Extracting package", log));
    hub::setCopyActivationForTesting(true);
    std::printf("%-36s %8.3f s\n", "copy into staging (forced copy)",
                cancelLatency(request, "Copying files", log));
    hub::setCopyActivationForTesting(false);
}

void run() {
    const fs::path work = fs::temp_directory_path() / L"hub-install-benchmark";
    fs::remove_all(work);
    fs::create_directories(work);

    std::printf("Generating the package...\n");
    const auto archive = work / L"benchmark-package.zip";
    const PackageSize size = writePackage(archive);
    std::printf("Package: %d small files (%.1f MiB) and one file of %.1f MiB; %.1f MiB of "
                "content, archive %.1f MiB\n\n",
                smallFileCount, static_cast<double>(size.smallBytes) / mebibyte,
                static_cast<double>(largeFileBytes) / mebibyte,
                static_cast<double>(size.contentBytes) / mebibyte,
                static_cast<double>(size.archiveBytes) / mebibyte);

    hub::test::HttpsTestServer server;
    server.answer("/benchmark-package.zip", {.file = archive, .sidecar = true});
    server.answer("/unchecked-package.zip", {.file = archive});
    const std::string url = server.url("/benchmark-package.zip");
    // The first HTTPS request of a process also loads and starts the TLS machinery: not
    // part of any measured download.
    server.answer("/warm-up", {.body = "warm"});
    plainDownload(server.url("/warm-up"), work / L"warm-up");

    hub::CatalogComponent component;
    component.id = "benchmark-package";
    component.name = "Benchmark Package";
    component.kind = hub::ComponentKind::Community;
    component.version = "1.0.0";
    component.folderName = packageFolder;
    component.archiveFolder = packageFolder;
    component.downloadUrl = url;
    hub::ActivityLog log(work / L"hub.log");
    const hub::OperationRequest install{hub::OperationKind::Install, component,
                                        work / L"Community" / packageFolder, work / L"Downloads"};
    const hub::OperationRequest uninstall{hub::OperationKind::Uninstall, component, install.folder,
                                          install.downloadRoot};

    std::map<std::string, std::vector<double>> figures;
    const auto baselines = [&] {
        settleDisk();
        figures["plain download"].push_back(plainDownload(url, work / L"plain.zip"));
        settleDisk();
        figures["bare extraction"].push_back(
            bareExtraction(work / L"plain.zip", work / L"plain-extracted"));
        figures["plain sum"].push_back(figures["plain download"].back() +
                                       figures["bare extraction"].back());
        settleDisk();
        figures["plain delete"].push_back(
            plainDelete({work / L"plain.zip", work / L"plain-extracted"}));
    };
    const auto product = [&] {
        settleDisk();
        const auto fresh = timedOperation(install, log);
        figures["download"].push_back(fresh.phases.secondsUntil("Extracting package"));
        figures["extraction"].push_back(fresh.phases.seconds("Extracting package", fresh.end));
        figures["listing"].push_back(fresh.phases.seconds("Preparing files", fresh.end));
        figures["move"].push_back(fresh.phases.seconds("Copying files", fresh.end));
        figures["activation"].push_back(
            fresh.phases.seconds("Activating the new version", fresh.end));
        figures["install"].push_back(fresh.total);
        settleDisk();
        timedOperation(uninstall, log);
        // The same download without a published checksum: what hashing costs.
        auto unchecked = component;
        unchecked.downloadUrl = server.url("/unchecked-package.zip");
        settleDisk();
        const auto start = Clock::now();
        std::atomic<bool> cancel{false};
        hub::downloadPackage(unchecked, work / L"unchecked.zip", {}, cancel);
        figures["unchecked download"].push_back(secondsSince(start));
        fs::remove(work / L"unchecked.zip");
    };
    for (int round = 0; round < 3; ++round) {
        std::printf("round %d of 3 (%s first)...\n", round + 1,
                    round % 2 == 0 ? "baselines" : "product");
        if (round % 2 == 0) {
            baselines();
            product();
        } else {
            product();
            baselines();
        }
    }
    const auto m = [&](const char* name) { return median(figures[name]); };

    // Once: the forced copy against a plain recursive copy of the unpacked package.
    bareExtraction(archive, work / L"plain-extracted");
    settleDisk();
    const double baselineCopy =
        plainCopy(work / L"plain-extracted" / packageFolder, work / L"plain-copy");
    fs::remove_all(work / L"plain-copy");
    fs::remove_all(work / L"plain-extracted");
    settleDisk();
    hub::setCopyActivationForTesting(true);
    const auto copied = timedOperation(install, log);
    hub::setCopyActivationForTesting(false);

    const auto content = static_cast<double>(size.contentBytes);
    std::printf("\nmedians of 3 rounds\n%-26s %10s %15s   %-24s %10s %15s\n",
                "phase of a fresh install", "time", "throughput", "baseline", "time", "throughput");
    printRow("download (checksum on)", m("download"), static_cast<double>(size.archiveBytes),
             "plain WinHTTP client", m("plain download"));
    printRow("  without its checksum", m("unchecked download"),
             static_cast<double>(size.archiveBytes));
    printRow("extraction", m("extraction"), content, "same call run bare", m("bare extraction"));
    printRow("listing the files", m("listing"), 0.0);
    printRow("move into staging", m("move"), 0.0);
    printRow("activation and cleanup", m("activation"), 0.0, "plain delete of work",
             m("plain delete"));
    printRow("whole install, one volume", m("install"), content, "plain download + bare",
             m("plain sum"));
    std::printf("%-26s %8.2f x download (%.2f x unchecked), %5.2f x extraction, %5.2f x install\n",
                "time against baseline", m("download") / m("plain download"),
                m("unchecked download") / m("plain download"),
                m("extraction") / m("bare extraction"), m("install") / m("plain sum"));
    std::printf("\nonce\n");
    printRow("  forced copy into staging", copied.phases.seconds("Copying files", copied.end),
             content, "plain recursive copy", baselineCopy);
    std::printf("%-26s %8.2f s  %5.2f x plain download + bare\n", "whole install, copy",
                copied.total, copied.total / m("plain sum"));

    const auto update = timedOperation(install, log);
    std::printf("\n");
    printRow("update over it (whole)", update.total, content);
    printRow("  of which activation",
             update.phases.seconds("Activating the new version", update.end), 0.0);
    const auto removal = timedOperation(
        {hub::OperationKind::Uninstall, component, install.folder, install.downloadRoot}, log);
    printRow("uninstall", removal.total, content);

    printCancelLatencies(component, server, work, log);
    fs::remove_all(work);
}

} // namespace

int main() {
    try {
        run();
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
}

// Installs a large package from the local HTTPS test server and prints the time and
// throughput of every phase next to a baseline measured on the same machine in the same run:
// the download next to a plain WinHTTP client, the extraction next to the tar.exe stand-in
// run alone, the copy into staging next to a plain recursive copy. The fresh install runs twice:
// with the Community folder on the download folder's volume (activation by move) and with the
// copy forced as across volumes; each whole install is set against the plain download plus the
// stand-in alone. Then an update over the installed version and an uninstall. Run it with "sh
// benchmarks/run.sh" (see README.md), which starts it in the test prefix beside the harness's HTTPS
// test server.

#include "harness/https_test_server.h"
#include "install/component_operation.h"
#include "install/package_preparation.h"
#include "install/staged_activation.h"
#include "util/https_get.h"
#include "zip_writer.h"

#include <windows.h>

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

double standInExtraction(const fs::path& archive, const fs::path& folder) {
    fs::create_directories(folder);
    const auto start = Clock::now();
    hub::extractArchive(archive, folder);
    return secondsSince(start);
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
    std::vector<std::pair<std::string, Clock::time_point>> starts;

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
    server.answer("/benchmark-package.zip", {.file = archive});
    const std::string url = server.url("/benchmark-package.zip");
    // The first HTTPS request of a process also loads and starts the TLS machinery: not
    // part of any measured download.
    server.answer("/warm-up", {.body = "warm"});
    plainDownload(server.url("/warm-up"), work / L"warm-up");
    const double baselineDownload = plainDownload(url, work / L"plain.zip");
    const double baselineExtraction = standInExtraction(archive, work / L"plain-extracted");
    const double baselineCopy =
        plainCopy(work / L"plain-extracted" / packageFolder, work / L"plain-copy");
    fs::remove_all(work / L"plain-copy");
    // What the cleanup after an install deletes: the archive and the unpacked tree.
    const double baselineDelete = plainDelete({work / L"plain.zip", work / L"plain-extracted"});

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

    hub::setCopyActivationForTesting(true);
    const auto copied = timedOperation(install, log);
    hub::setCopyActivationForTesting(false);
    timedOperation({hub::OperationKind::Uninstall, component, install.folder, install.downloadRoot},
                   log);
    const auto fresh = timedOperation(install, log);
    const auto content = static_cast<double>(size.contentBytes);
    const auto& phases = fresh.phases;
    std::printf("%-26s %10s %15s   %-24s %10s %15s\n", "phase of a fresh install", "time",
                "throughput", "baseline", "time", "throughput");
    printRow("download", phases.seconds("Downloading package", fresh.end),
             static_cast<double>(size.archiveBytes), "plain WinHTTP client", baselineDownload);
    printRow("extraction", phases.seconds("Extracting package", fresh.end), content,
             "tar.exe stand-in alone", baselineExtraction);
    printRow("listing the files", phases.seconds("Preparing files", fresh.end), 0.0);
    printRow("move into staging", phases.seconds("Copying files", fresh.end), content);
    printRow("  forced copy instead", copied.phases.seconds("Copying files", copied.end), content,
             "plain recursive copy", baselineCopy);
    printRow("activation and cleanup", phases.seconds("Activating the new version", fresh.end), 0.0,
             "plain delete of work", baselineDelete);
    const double floor = baselineDownload + baselineExtraction;
    std::printf("\n%-26s %8.2f s\n", "download + stand-in alone", floor);
    std::printf("%-26s %8.2f s  %5.2f x\n", "whole install, one volume", fresh.total,
                fresh.total / floor);
    std::printf("%-26s %8.2f s  %5.2f x\n", "whole install, copy", copied.total,
                copied.total / floor);

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

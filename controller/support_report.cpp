#include "controller/support_report.h"

#include "util/library.h"
#include "util/paths.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <deque>
#include <fstream>
#include <sstream>
#include <string>

namespace hub {

namespace {

using Impl = ApplicationController::Impl;

constexpr std::size_t supportReportLogLines = 200;

// RtlGetVersion tells the real version; GetVersionExW answers what the manifest allows.
std::string windowsVersion() {
    LONG(WINAPI * query)(OSVERSIONINFOW*) = nullptr;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr || !resolveExport(ntdll, "RtlGetVersion", query) || query(&info) != 0) {
        return "unknown";
    }
    return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "." +
           std::to_string(info.dwBuildNumber);
}

std::string folderText(const std::filesystem::path& folder, bool available) {
    if (folder.empty()) {
        return "Community folder unknown";
    }
    return pathToUtf8(folder) + (available ? " (available)" : " (not available)");
}

std::string installationText(const SimulatorInstallation& installation) {
    return installation.label + " " + installation.edition + " [" + installation.id +
           "]: " + folderText(installation.communityFolder, installation.available);
}

// "Velmora · Weapons Patch": several aircraft have a component of the same name.
std::string componentTitle(const Catalog& catalog, const CatalogComponent& component) {
    std::string title;
    for (const CatalogFamily& family : catalog.families) {
        if (std::ranges::find(component.sections, family.id) != component.sections.end()) {
            title += family.name + " · ";
        }
    }
    return title + component.name;
}

// The last lines of the log; a log that cannot be read gives none.
std::deque<std::string> logTail(const std::filesystem::path& file) {
    std::deque<std::string> lines;
    std::ifstream input(file, std::ios::binary);
    for (std::string line; std::getline(input, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        if (lines.size() > supportReportLogLines) {
            lines.pop_front();
        }
    }
    return lines;
}

std::string supportReport(const Impl& impl) {
    std::ostringstream report;
    const auto line = [&report](const std::string& text) { report << text << "\r\n"; };
    line("Orvantis Hub support report");
    line(std::string("Hub version: ") + hubVersion);
    line("Windows version: " + windowsVersion());
    line("Simulator installations:");
    for (const SimulatorInstallation& installation : impl.installations) {
        line("  " + installationText(installation));
    }
    if (impl.installations.empty()) {
        line("  none found");
    }
    const auto& custom = impl.settings.customCommunityFolder;
    line("Custom Community folder: " + (custom.empty()
                                            ? std::string("none")
                                            : folderText(custom, impl.customCommunityAvailable)));
    line("Target: " + (impl.selectedInstallation.id.empty()
                           ? std::string("none")
                           : installationText(impl.selectedInstallation)));
    line("Components:");
    for (const CatalogComponent& component : impl.catalog.components) {
        const InstalledState& state = impl.installedStateOf(component);
        const std::string installed = !state.installed        ? "not installed"
                                      : state.version.empty() ? "installed, version unknown"
                                                              : "installed " + state.version;
        line("  " + componentTitle(impl.catalog, component) + " [" + component.id +
             "]: " + installed + ", available " + component.version);
    }
    line("Last error: " + (impl.error.empty() ? std::string("none") : impl.error));
    line("Activity log, last " + std::to_string(supportReportLogLines) + " lines:");
    for (const std::string& logLine : logTail(impl.folders.logFile)) {
        line(logLine);
    }
    return report.str();
}

} // namespace

void copySupportReport(Impl& impl) {
    impl.options.writeClipboard(supportReport(impl));
    impl.setNotice("Support report copied to the clipboard.");
}

} // namespace hub

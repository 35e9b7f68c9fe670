#pragma once

#include "catalog/catalog.h"
#include "install/package_download.h"
#include "install/work_folder.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

namespace hub {

// A downloaded, unpacked and verified package. The work folder (downloadRoot\<id>) holds
// "package.zip" and "extracted" and goes with the package; the content folder is the package
// itself inside it.
struct PreparedPackage {
    WorkFolder workFolder;
    std::filesystem::path contentFolder;
};

inline constexpr std::uint32_t tarTimeoutMilliseconds = 600'000;

// Downloads the component's archive into a fresh work folder under downloadRoot (see
// downloadPackage), unpacks it with the system tar.exe and checks that it holds the package the
// catalog describes (its folder, and its version or its executable). Before it unpacks, the work
// folder's volume, and the destination's when that is another volume (the content is then
// copied there), must have room for the archive's unpacked size ("Not enough disk space on
// ..."). Fails with the message to show ("Unable to
// clear the work folder of <name>: ..." when an earlier work folder cannot be emptied: nothing
// is ever unpacked over leftovers); throws OperationCancelled when the cancel flag is seen, also
// while the download waits for the server or tar runs (tar is then stopped and the work folder
// cleared). Every failure after the work folder is cleared removes it: a partial archive of up
// to 2 GiB, or its extraction, would otherwise hold its space until the next install.
PreparedPackage preparePackage(const CatalogComponent& component,
                               const std::filesystem::path& downloadRoot,
                               const std::filesystem::path& destination,
                               const PackageReports& reports, const std::atomic<bool>& cancel);

// Unpacks the zip archive into the folder with the system tar.exe, stopping it after the
// time-out; fails with "Package extraction timed out." or "Package extraction failed (code N).";
// throws OperationCancelled when the cancel flag is raised while tar runs (tar is stopped).
void extractArchive(const std::filesystem::path& archive, const std::filesystem::path& folder,
                    std::uint32_t timeoutMilliseconds = tarTimeoutMilliseconds,
                    const std::atomic<bool>* cancel = nullptr);

// The path in double quotes for a command line, one argument whatever it holds: backslashes
// before the closing quote are doubled (a path never contains a double quote).
std::wstring quoteArgument(const std::filesystem::path& path);

// The tar.exe in the Windows system folder; fails when there is none.
std::filesystem::path systemTarPath();

// The tar.exe in the given folder; fails with "Windows archive support (tar.exe) is not
// available." when it is not a regular file there.
std::filesystem::path tarPathIn(const std::filesystem::path& folder);

} // namespace hub

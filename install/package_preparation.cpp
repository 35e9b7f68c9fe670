#include "install/package_preparation.h"

#include "install/archive_size.h"
#include "install/disk_space.h"
#include "install/file_operations.h"
#include "install/long_path.h"
#include "install/operation_cancelled.h"
#include "install/package_download.h"
#include "install/processes.h"
#include "simulators/package_manifest.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/windows_error.h"

#include <windows.h>

#include <stdexcept>

namespace hub {

namespace {

void checkDefinition(const CatalogComponent& component) {
    if (component.downloadUrl.empty()) {
        throw std::runtime_error(component.name + " is not available for download yet.");
    }
    if (component.kind == ComponentKind::Community && component.archiveFolder.empty()) {
        throw std::runtime_error("The built-in package definition is incomplete.");
    }
}

// An empty work folder: files of an earlier archive left in it could be installed with this
// one, so a folder that cannot be cleared fails the preparation. It is cleared by its long-path
// name, which reaches files deeper than the classic path limit.
std::filesystem::path freshWorkFolder(const CatalogComponent& component,
                                      const std::filesystem::path& downloadRoot) {
    auto workFolder = downloadRoot / toWide(component.id);
    const auto longForm = toLongPath(workFolder);
    if (const auto error = removeTree(longForm); error != 0 && pathExists(longForm)) {
        throw windowsError("Unable to clear the work folder of " + component.name, error);
    }
    createDirectories(workFolder);
    return workFolder;
}

// The unpacked content needs room in the work folder, and in the destination's volume when it
// is copied there; an archive whose directory cannot be read is left to tar to refuse.
void requireRoomToUnpack(const CatalogComponent& component, const std::filesystem::path& archive,
                         const std::filesystem::path& destination) {
    const auto size = unpackedSize(archive);
    if (!size) {
        return;
    }
    requireDiskSpace(archive, *size, component.name);
    if (!destination.empty() && !onSameVolume(archive, destination)) {
        requireDiskSpace(destination, *size, component.name);
    }
}

void verifyContent(const CatalogComponent& component, const std::filesystem::path& content) {
    if (!isDirectory(content)) {
        throw std::runtime_error(
            "The downloaded archive does not contain the expected package folder.");
    }
    if (component.kind == ComponentKind::Application) {
        if (!component.application || !isRegularFile(content / component.application->executable)) {
            throw std::runtime_error(
                "The downloaded application does not contain its expected executable.");
        }
        return;
    }
    const std::string version = readManifestVersion(content);
    if (version != component.version) {
        throw std::runtime_error("The downloaded package version is " +
                                 (version.empty() ? std::string("unknown") : version) +
                                 ", expected " + component.version + ".");
    }
}

} // namespace

PreparedPackage preparePackage(const CatalogComponent& component,
                               const std::filesystem::path& downloadRoot,
                               const std::filesystem::path& destination,
                               const PackageReports& reports, const std::atomic<bool>& cancel) {
    checkDefinition(component);
    WorkFolder workFolder(freshWorkFolder(component, downloadRoot));
    const auto archive = workFolder.path() / L"package.zip";
    const auto extracted = workFolder.path() / L"extracted";
    createDirectories(extracted);
    downloadPackage(component, archive, reports, cancel);
    throwIfCancelled(cancel);
    requireRoomToUnpack(component, archive, destination);
    if (reports.progress) {
        reports.progress(-1.0, "Extracting package");
    }
    extractArchive(archive, extracted, tarTimeoutMilliseconds, &cancel);
    throwIfCancelled(cancel);
    auto content =
        component.archiveFolder.empty() ? extracted : extracted / component.archiveFolder;
    verifyContent(component, content);
    return {std::move(workFolder), std::move(content)};
}

void extractArchive(const std::filesystem::path& archive, const std::filesystem::path& folder,
                    std::uint32_t timeoutMilliseconds, const std::atomic<bool>* cancel) {
    const auto tar = systemTarPath();
    const auto outcome =
        runAndWait(tar, L"-xf " + quoteArgument(archive) + L" -C " + quoteArgument(folder),
                   timeoutMilliseconds, true, cancel);
    if (outcome.cancelled) {
        throw OperationCancelled();
    }
    if (!outcome.finished) {
        throw std::runtime_error("Package extraction timed out.");
    }
    if (outcome.exitCode != 0) {
        throw std::runtime_error("Package extraction failed (code " +
                                 std::to_string(outcome.exitCode) + ").");
    }
}

std::wstring quoteArgument(const std::filesystem::path& path) {
    const std::wstring& text = path.native();
    const auto kept = text.find_last_not_of(L'\\') + 1; // 0 when only backslashes
    return L"\"" + text + std::wstring(text.size() - kept, L'\\') + L"\"";
}

std::filesystem::path systemTarPath() {
    std::wstring buffer(32768, L'\0');
    const UINT length = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length == 0 || length >= buffer.size()) {
        throw windowsError("Unable to locate the Windows system folder", GetLastError());
    }
    buffer.resize(length);
    return tarPathIn(buffer);
}

std::filesystem::path tarPathIn(const std::filesystem::path& folder) {
    auto tar = folder / L"tar.exe";
    if (!isRegularFile(tar)) {
        throw std::runtime_error("Windows archive support (tar.exe) is not available.");
    }
    return tar;
}

} // namespace hub

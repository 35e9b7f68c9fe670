#include "install/component_operation.h"

#include "install/operation_cancelled.h"
#include "install/package_preparation.h"
#include "install/processes.h"
#include "install/receipt.h"
#include "install/staged_activation.h"
#include "simulators/package_manifest.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/windows_error.h"

#include <functional>
#include <stdexcept>
#include <system_error>

namespace hub {

namespace {

// Staging reports 0 to 1 for its own work; the operation shows it as 0.45 to 1.
ProgressCallback stagingProgress(const ProgressCallback& progress) {
    if (!progress) {
        return {};
    }
    return [progress](double fraction, const std::string& text) {
        progress(fraction >= 0.0 ? 0.45 + 0.55 * fraction : fraction, text);
    };
}

void install(const OperationRequest& request, const ProgressCallback& progress,
             const TransferCallback& transfer, const std::atomic<bool>& cancel, ActivityLog& log) {
    const auto& component = request.component;
    log.write("install " + component.id + " " + component.version + " -> " +
              pathToUtf8(request.folder));
    // The work folder goes with the prepared package, whichever way the install ends.
    const auto prepared = preparePackage(
        component, request.downloadRoot, request.folder,
        {progress, transfer, [&log](const std::string& line) { log.write(line); }}, cancel);
    StagedCallback writeReceiptInto;
    if (component.kind == ComponentKind::Application) {
        writeReceiptInto = [&component](const std::filesystem::path& staging) {
            writeReceipt(staging, component);
        };
    }
    stageAndActivate(prepared.contentFolder, request.folder, component.preservedPaths,
                     writeReceiptInto, stagingProgress(progress), cancel, SourceUse::MayMove);
    log.write("installed " + component.id + " " + component.version);
}

// The application's own uninstall step, when it has one. Its outcome is only logged: the
// folder is removed whatever it does.
void runUninstallCommand(const OperationRequest& request, const ProgressCallback& progress,
                         ActivityLog& log) {
    const auto& application = request.component.application;
    if (!application || application->uninstallArguments.empty()) {
        return;
    }
    const auto executable = request.folder / application->executable;
    if (!isRegularFile(executable)) {
        return;
    }
    if (progress) {
        progress(-1.0, "Unregistering " + request.component.name);
    }
    try {
        const auto outcome = runAndWait(executable, application->uninstallArguments,
                                        request.uninstallTimeoutMilliseconds, false);
        log.write(outcome.finished
                      ? "uninstall command exited with code " + std::to_string(outcome.exitCode)
                      : std::string("uninstall command timed out and was stopped"));
    } catch (const std::exception& failure) {
        log.write(std::string("uninstall command failed: ") + failure.what());
    }
}

void uninstall(const OperationRequest& request, const ProgressCallback& progress,
               ActivityLog& log) {
    const auto& component = request.component;
    log.write("uninstall " + component.id + " from " + pathToUtf8(request.folder));
    runUninstallCommand(request, progress, log);
    removeInstalledFolder(request.folder, progress);
    log.write("uninstalled " + component.id);
}

// The system's text for the error, naming the file or folder it concerns.
std::string fileSystemErrorMessage(const std::filesystem::filesystem_error& error) {
    const auto& code = error.code();
    std::string message = code.category() == std::system_category()
                              ? windowsErrorText(static_cast<std::uint32_t>(code.value()))
                              : code.message();
    if (!error.path1().empty()) {
        message += " (" + leafName(error.path1()) + ")";
    }
    return message;
}

} // namespace

void runOperation(const OperationRequest& request, const ProgressCallback& progress,
                  const std::atomic<bool>& cancel, ActivityLog& log,
                  const TransferCallback& transfer) {
    const auto& component = request.component;
    if (request.kind != OperationKind::Install && request.kind != OperationKind::Uninstall) {
        throw std::runtime_error("The requested operation is not supported.");
    }
    if (request.folder.empty()) {
        throw std::runtime_error("No installation folder is available for " + component.name + ".");
    }
    if (const auto reason = invalidNamesReason(component);
        !reason.empty() && request.kind == OperationKind::Install) {
        throw std::runtime_error(reason);
    }
    try {
        if (request.kind == OperationKind::Install) {
            install(request, progress, transfer, cancel, log);
        } else {
            uninstall(request, progress, log);
        }
    } catch (const OperationCancelled&) {
        log.write("cancelled " + component.id);
        throw;
    } catch (const std::filesystem::filesystem_error& error) {
        const std::string message = fileSystemErrorMessage(error);
        log.write("failed: " + message);
        throw std::runtime_error(message);
    } catch (const std::exception& error) {
        log.write(std::string("failed: ") + error.what());
        throw;
    }
}

std::string invalidNamesReason(const CatalogComponent& component) {
    const bool plain = isPlainName(toWide(component.id)) &&
                       isPlainName(toWide(component.folderName)) &&
                       (component.archiveFolder.empty() || isPlainName(component.archiveFolder));
    return plain ? std::string{}
                 : component.name + " cannot be installed: its package definition is not valid.";
}

std::filesystem::path installedLocation(const CatalogComponent& component,
                                        const std::filesystem::path& communityFolder,
                                        const std::filesystem::path& applicationsFolder) {
    // Without a folder name the location would be the parent folder itself, which an
    // uninstall would then remove: such a component has no location.
    const auto& parent =
        component.kind == ComponentKind::Application ? applicationsFolder : communityFolder;
    const std::filesystem::path name = toWide(component.folderName);
    if (!isAbsolutePath(parent) || !isPlainName(name)) {
        return {};
    }
    return parent / name;
}

InstalledState readInstalledVersion(const CatalogComponent& component,
                                    const std::filesystem::path& folder) {
    InstalledState state{false, {}, folder};
    if (folder.empty()) {
        return state;
    }
    if (component.kind == ComponentKind::Application) {
        state.installed =
            component.application && isRegularFile(folder / component.application->executable);
        if (state.installed) {
            state.version = readReceiptVersion(folder);
        }
    } else {
        state.installed = isDirectory(folder);
        if (state.installed) {
            state.version = readManifestVersion(folder);
        }
    }
    return state;
}

} // namespace hub

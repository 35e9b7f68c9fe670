#pragma once

#include "catalog/catalog.h"
#include "install/progress_callback.h"
#include "settings/activity_log.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

namespace hub {

// Install also serves update and reinstall: each puts the catalog's version in place. A value
// that is neither is refused without touching anything.
enum class OperationKind : std::uint32_t { Install = 0, Uninstall = 1 };

// One operation for the worker, copied when the operation starts so that later catalog
// changes do not reach it.
struct OperationRequest {
    OperationKind kind = OperationKind::Install;
    CatalogComponent component;
    std::filesystem::path folder;       // installed location; empty when none is known
    std::filesystem::path downloadRoot; // parent of the preparation's work folder
    // How long an application's own uninstall command may run before it is stopped.
    std::uint32_t uninstallTimeoutMilliseconds = 15'000;
};

struct InstalledState {
    bool installed = false;
    std::string version; // empty when not installed or unknown
    std::filesystem::path location;
};

// Installs or uninstalls the request's component, writing each step to the log. Fails with
// the message to show ("The requested operation is not supported." for an unknown kind,
// "No installation folder is available for <name>." for an empty folder and the reason of
// invalidNamesReason for an install, none of them logged) (also
// logged as "failed: " + message); throws OperationCancelled (logged as "cancelled " + id) when an
// install sees the cancel flag. An install's download also reports its byte figures to transfer.
void runOperation(const OperationRequest& request, const ProgressCallback& progress,
                  const std::atomic<bool>& cancel, ActivityLog& log,
                  const TransferCallback& transfer = {});

// Empty when every name the component gives the file system is one plain name: its id (which
// names its work folder, deleted whole), its folder name and its archive folder. Otherwise the
// message that refuses its install: "<name> cannot be installed: its package definition is not
// valid."
std::string invalidNamesReason(const CatalogComponent& component);

// Where the component is installed: its folder name inside the applications folder for an
// application, inside the Community folder for a package. Empty when that folder is unknown or
// not absolute, or when the folder name is not one plain name, so that no operation reaches
// outside an absolute parent.
std::filesystem::path installedLocation(const CatalogComponent& component,
                                        const std::filesystem::path& communityFolder,
                                        const std::filesystem::path& applicationsFolder);

// Whether the component is present at the folder, and in which version: a package's from its
// manifest, an application's from its receipt.
InstalledState readInstalledVersion(const CatalogComponent& component,
                                    const std::filesystem::path& folder);

} // namespace hub

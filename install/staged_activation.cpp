#include "install/staged_activation.h"

#include "install/copy_progress.h"
#include "install/file_operations.h"
#include "install/long_path.h"
#include "install/operation_cancelled.h"
#include "install/tree_listing.h"
#include "util/paths.h"
#include "util/windows_error.h"

#include <windows.h>

#include <optional>
#include <stdexcept>

namespace hub {

namespace {

// The target folder in long form with its three siblings, and its name for messages.
struct TargetFolders {
    std::filesystem::path target;
    std::filesystem::path staging;
    std::filesystem::path previous;
    std::filesystem::path removing;
    std::filesystem::path callerPath; // as the caller gave it, for messages

    [[nodiscard]] std::string name() const { return leafName(callerPath); }
};

// Nothing for a path that names no folder of its own (empty, or a root): such a path has no
// siblings, so it can neither be replaced nor removed.
std::optional<TargetFolders> targetFolders(const std::filesystem::path& target) {
    auto callerPath = withoutTrailingSeparators(target);
    if (!callerPath.has_filename()) {
        return std::nullopt;
    }
    const std::wstring longTarget = toLongPath(callerPath).native();
    return TargetFolders{longTarget, longTarget + L".orv-hub-staging",
                         longTarget + L".orv-hub-previous", longTarget + L".orv-hub-removing",
                         std::move(callerPath)};
}

TargetFolders requireTargetFolders(const std::filesystem::path& target) {
    auto folders = targetFolders(target);
    if (!folders) {
        throw std::runtime_error("The installation folder is not valid.");
    }
    return std::move(*folders);
}

std::runtime_error folderInUse(const TargetFolders& folders) {
    return std::runtime_error(folders.name() +
                              " is in use. Close the programs using it and try again.");
}

// A previous version that recovery could not move back holds the only copy of the old
// version and its preserved files: nothing may replace or remove the target until it is back.
void refuseWhilePreviousRemains(const TargetFolders& folders) {
    if (pathExists(folders.previous)) {
        throw std::runtime_error("The previous version of " + folders.name() +
                                 " could not be restored yet. Restart Orvantis Hub and try again.");
    }
}

bool& copyActivationForced() {
    static bool forced = false;
    return forced;
}

void report(const ProgressCallback& progress, double fraction, const char* message) {
    if (progress) {
        progress(fraction, message);
    }
}

void copyFile(const std::filesystem::path& from, const std::filesystem::path& to,
              const TreeEntry& entry, CopyProgress& state) {
    if (CopyFileExW(from.c_str(), to.c_str(), copyProgressRoutine, &state, nullptr,
                    COPY_FILE_FAIL_IF_EXISTS)) {
        return;
    }
    const DWORD error = GetLastError();
    if (state.callbackFailure) {
        std::rethrow_exception(state.callbackFailure);
    }
    if (error == ERROR_REQUEST_ABORTED || state.cancel.load()) {
        throw OperationCancelled();
    }
    throw windowsError("Unable to copy " + pathToUtf8(entry.relativePath), error);
}

void copyEntries(const std::filesystem::path& source, const std::filesystem::path& staging,
                 const std::vector<TreeEntry>& entries, CopyProgress& state) {
    state.report(0, true);
    for (const auto& entry : entries) {
        if (state.cancel.load()) {
            throw OperationCancelled();
        }
        const auto destination = staging / entry.relativePath;
        if (entry.isDirectory) {
            createDirectories(destination);
            continue;
        }
        createDirectories(destination.parent_path());
        copyFile(source / entry.relativePath, destination, entry, state);
        state.copiedBytes += entry.size;
        state.report(0, false);
    }
    state.report(0, true);
}

// A relative path that stays inside the folder it is joined to.
bool staysInside(const std::filesystem::path& relative) {
    if (relative.empty() || relative.has_root_path()) {
        return false;
    }
    for (const auto& part : relative) {
        if (part == L"..") {
            return false;
        }
    }
    return true;
}

// Copies the preserved items that the old version has and the new one lacks into the staging
// folder, so that the new version is complete with them before it is moved into place and no
// interruption can lose them. All or nothing: an item that exists and cannot be copied
// completely fails the install before activation, naming the item.
void carryOverPreservedPaths(const TargetFolders& folders,
                             const std::vector<std::wstring>& preservedPaths) {
    for (const auto& preserved : preservedPaths) {
        const auto relative = std::filesystem::path(preserved).lexically_normal();
        if (!staysInside(relative)) {
            continue;
        }
        const auto from = folders.target / relative;
        const auto to = folders.staging / relative;
        if (!pathExists(from) || pathExists(to)) {
            continue;
        }
        createDirectories(to.parent_path());
        if (const auto error = copyTree(from, to); error != 0) {
            throw windowsError("Unable to keep " + pathToUtf8(relative), error);
        }
    }
}

// Puts the extracted folder in place as the staging folder with one move when both lie on the
// same volume; false (nothing moved) when they do not. A folder with links is never moved: the
// copy leaves links out, and the result must not depend on the path taken.
bool moveIntoStaging(const std::filesystem::path& source, const TargetFolders& folders,
                     CopyProgress& state) {
    if (copyActivationForced()) {
        return false;
    }
    state.report(0, true);
    if (state.cancel.load()) {
        throw OperationCancelled();
    }
    if (!MoveFileExW(source.c_str(), folders.staging.c_str(), 0)) {
        return false;
    }
    state.copiedBytes = state.totalBytes;
    state.report(0, true);
    return true;
}

void copyIntoStaging(const std::filesystem::path& source, const TargetFolders& folders,
                     const std::vector<TreeEntry>& entries, CopyProgress& state) {
    createDirectory(folders.staging);
    copyEntries(source, folders.staging, entries, state);
}

// Moves the old version aside and the new one into place; puts the old one back when the new
// one cannot be moved in. The staging folder is gone afterwards in every case.
void activate(const TargetFolders& folders, bool targetExists) {
    if (targetExists && renameWithRetry(folders.target, folders.previous) != 0) {
        removeTree(folders.staging);
        throw folderInUse(folders);
    }
    if (const auto error = renameWithRetry(folders.staging, folders.target); error != 0) {
        const bool restored =
            !targetExists || renameWithRetry(folders.previous, folders.target) == 0;
        removeTree(folders.staging);
        throw windowsError(restored ? "Unable to activate " + folders.name()
                                    : "Unable to activate " + folders.name() +
                                          ", and its previous version will be restored on the "
                                          "next start",
                           error);
    }
    if (targetExists) {
        removeTree(folders.previous);
    }
}

} // namespace

void stageAndActivate(const std::filesystem::path& source, const std::filesystem::path& target,
                      const std::vector<std::wstring>& preservedPaths,
                      const StagedCallback& onStaged, const ProgressCallback& progress,
                      const std::atomic<bool>& cancel, SourceUse sourceUse) {
    const auto folders = requireTargetFolders(target);
    const auto sourceFolder = toLongPath(source);
    recoverInterruptedWork(target);
    refuseWhilePreviousRemains(folders);
    report(progress, -1.0, "Preparing files");
    std::uint64_t totalBytes = 0;
    bool hasLinks = false;
    const auto entries = listTree(sourceFolder, totalBytes, &hasLinks);
    createDirectories(folders.target.parent_path());
    CopyProgress state(progress, cancel, totalBytes);
    bool targetExists = false;
    try {
        const bool moved = sourceUse == SourceUse::MayMove && !hasLinks &&
                           moveIntoStaging(sourceFolder, folders, state);
        if (!moved) {
            copyIntoStaging(sourceFolder, folders, entries, state);
        }
        targetExists = pathExists(folders.target);
        if (targetExists) {
            carryOverPreservedPaths(folders, preservedPaths);
        }
        if (onStaged) {
            onStaged(folders.staging);
        }
    } catch (...) {
        // A partial staging folder would hold the space that made the copy fail, and the
        // simulator might take it for a package; what cannot be removed now, recovery removes.
        removeTree(folders.staging);
        throw;
    }
    // From here on the cancel flag is no longer read: activation ends or rolls back.
    report(progress, 1.0, "Activating the new version");
    activate(folders, targetExists);
}

void setCopyActivationForTesting(bool forced) {
    copyActivationForced() = forced;
}

std::string recoverInterruptedWork(const std::filesystem::path& target) noexcept {
    std::string steps;
    try {
        const auto folders = targetFolders(target);
        if (!folders) {
            return {};
        }
        if (pathExists(folders->staging)) {
            removeTree(folders->staging);
            steps += "incomplete copy removed; ";
        }
        if (pathExists(folders->removing)) {
            removeTree(folders->removing);
            steps += "interrupted removal completed; ";
        }
        if (pathExists(folders->previous)) {
            if (pathExists(folders->target)) {
                removeTree(folders->previous);
                steps += "previous version removed; ";
            } else {
                steps += moveReplacing(folders->previous, folders->target) == 0
                             ? "previous version restored; "
                             : "previous version not restored, the next start will try again; ";
            }
        }
        if (steps.empty()) {
            return steps;
        }
        steps.resize(steps.size() - 2);
        return folders->name() + ": " + steps;
    } catch (const std::exception&) {
        // Only a folder name that cannot be shown in UTF-8 ends up here, after the work.
        return steps;
    }
}

void removeInstalledFolder(const std::filesystem::path& folder, const ProgressCallback& progress) {
    const auto folders = requireTargetFolders(folder);
    recoverInterruptedWork(folder);
    refuseWhilePreviousRemains(folders);
    if (!pathExists(folders.target)) {
        return;
    }
    report(progress, -1.0, "Removing files");
    if (renameWithRetry(folders.target, folders.removing) != 0) {
        throw folderInUse(folders);
    }
    if (const auto error = removeTree(folders.removing); error != 0) {
        throw windowsError("Some files of " + folders.name() +
                               " could not be deleted and will be removed on the next start",
                           error);
    }
}

} // namespace hub

#include "install/staged_activation.h"

#include "install/copy_progress.h"
#include "install/file_operations.h"
#include "install/folder_enumeration.h"
#include "install/long_path.h"
#include "install/operation_cancelled.h"
#include "install/tree_listing.h"
#include "util/paths.h"
#include "util/windows_error.h"

#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

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

// What a recovery did, and the sibling name that it left taken, if any: the operation on the
// target cannot go on while one is.
struct Recovery {
    std::vector<std::string> steps;
    std::filesystem::path blockedBy;
    std::uint32_t error = 0;
    bool onlyCopyLeft = false; // blockedBy is the previous version, and the target is absent
};

void block(Recovery& recovery, const std::filesystem::path& sibling, std::uint32_t error) {
    if (recovery.blockedBy.empty()) {
        recovery.blockedBy = sibling;
        recovery.error = error;
    }
}

// Moves a leftover that could not be deleted to the first free numbered removing folder
// (T.orv-hub-removing.1, .2, ...), which every later recovery deletes, so that its own name is
// free for the next operation. The Windows error of the move, 0 when it was moved.
std::uint32_t setAside(const std::filesystem::path& leftover, const TargetFolders& folders) {
    for (int number = 1; number < 10'000; ++number) {
        const auto aside = folders.removing.native() + L"." + std::to_wstring(number);
        if (!pathExists(aside)) {
            return moveOnce(leftover, aside);
        }
    }
    return ERROR_ALREADY_EXISTS;
}

// Deletes a leftover sibling; what cannot be deleted is set aside, and only when that fails too
// does the sibling's name stay taken.
void discard(const std::filesystem::path& leftover, const TargetFolders& folders, const char* done,
             const char* notDone, Recovery& recovery) {
    const auto error = removeTree(leftover);
    if (error == 0) {
        recovery.steps.emplace_back(done);
        return;
    }
    recovery.steps.push_back(std::string(notDone) + " (" + windowsErrorText(error) + ")");
    if (setAside(leftover, folders) != 0) {
        block(recovery, leftover, error);
    }
}

// The numbered removing folders of earlier recoveries.
std::vector<std::filesystem::path> setAsideFolders(const TargetFolders& folders) {
    std::vector<std::filesystem::path> found;
    const std::filesystem::path parent = folders.removing.parent_path();
    const std::wstring stem = folders.removing.filename().native() + L".";
    forEachChild(parent, [&](const WIN32_FIND_DATAW& entry) {
        if (std::wstring_view name = entry.cFileName;
            name.size() > stem.size() && name.starts_with(stem)) {
            found.push_back(parent / entry.cFileName);
        }
    });
    return found;
}

Recovery recover(const TargetFolders& folders) {
    Recovery recovery;
    // Listed first: what this run sets aside is tried again by the next one, not at once.
    const auto earlier = setAsideFolders(folders);
    if (pathExists(folders.staging)) {
        discard(folders.staging, folders, "incomplete copy removed",
                "incomplete copy could not be removed", recovery);
    }
    if (pathExists(folders.removing)) {
        discard(folders.removing, folders, "interrupted removal completed",
                "interrupted removal could not be completed", recovery);
    }
    for (const auto& aside : earlier) {
        if (const auto error = removeTree(aside); error == 0) {
            recovery.steps.emplace_back("leftover " + leafName(aside) + " removed");
        } else {
            recovery.steps.push_back("leftover " + leafName(aside) + " could not be removed (" +
                                     windowsErrorText(error) + ")");
        }
    }
    if (!pathExists(folders.previous)) {
        return recovery;
    }
    if (pathExists(folders.target)) {
        discard(folders.previous, folders, "previous version removed",
                "previous version could not be removed", recovery);
    } else if (const auto error = moveOnce(folders.previous, folders.target); error == 0) {
        recovery.steps.emplace_back("previous version restored");
    } else {
        recovery.steps.push_back("previous version not restored, the next start will try again (" +
                                 windowsErrorText(error) + ")");
        // The only copy of the old version: this, not an earlier leftover, is what blocks.
        recovery.blockedBy = folders.previous;
        recovery.error = error;
        recovery.onlyCopyLeft = true;
    }
    return recovery;
}

// Runs recovery and refuses to go on while it left a sibling's name taken: a previous version
// that could not be moved back is the only copy of the old version and its preserved files, and
// any other leftover would be mistaken for the work of this operation.
void requireRecovered(const TargetFolders& folders) {
    const Recovery recovery = recover(folders);
    if (recovery.blockedBy.empty()) {
        return;
    }
    const std::string leftover = leafName(recovery.blockedBy);
    if (recovery.onlyCopyLeft) {
        throw std::runtime_error("The previous version of " + folders.name() +
                                 " could not be restored from " + leftover + ": " +
                                 windowsErrorText(recovery.error) +
                                 ". Restart Orvantis Hub and try again.");
    }
    throw windowsError("The leftover folder " + leftover + " blocks changes to " + folders.name() +
                           " and could not be removed",
                       recovery.error);
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
    if (targetExists && removeTree(folders.previous) != 0) {
        setAside(folders.previous, folders); // what stays there, the next recovery removes
    }
}

} // namespace

void stageAndActivate(const std::filesystem::path& source, const std::filesystem::path& target,
                      const std::vector<std::wstring>& preservedPaths,
                      const StagedCallback& onStaged, const ProgressCallback& progress,
                      const std::atomic<bool>& cancel, SourceUse sourceUse) {
    const auto folders = requireTargetFolders(target);
    const auto sourceFolder = toLongPath(source);
    requireRecovered(folders);
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
    report(progress, 1.0, activatingMessage);
    activate(folders, targetExists);
}

void setCopyActivationForTesting(bool forced) {
    copyActivationForced() = forced;
}

std::string recoverInterruptedWork(const std::filesystem::path& target) noexcept {
    try {
        const auto folders = targetFolders(target);
        if (!folders) {
            return {};
        }
        const Recovery recovery = recover(*folders);
        std::string report;
        for (const auto& step : recovery.steps) {
            report += (report.empty() ? folders->name() + ": " : std::string("; ")) + step;
        }
        return report;
    } catch (const std::exception&) {
        // Only a folder name that cannot be shown in UTF-8, or memory running out, ends up here;
        // whatever recovery did stays done.
        return {};
    }
}

void removeInstalledFolder(const std::filesystem::path& folder, const ProgressCallback& progress) {
    const auto folders = requireTargetFolders(folder);
    requireRecovered(folders);
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

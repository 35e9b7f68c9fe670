#pragma once

#include "install/progress_callback.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace hub {

// An installed component lives in one target folder T. T is only ever replaced or removed as
// a whole, through siblings beside it that carry T's name with a suffix:
//   T.orv-hub-staging   the new version while it is being copied
//   T.orv-hub-previous  the old version between the two activation moves and its deletion
//   T.orv-hub-removing  a folder taken out of place to be deleted
// Whatever siblings an interruption leaves behind are the whole record of the interrupted
// work; recoverInterruptedWork reads them and finishes or undoes that work. A leftover that
// cannot be deleted (a file in it that cannot be) is set aside as T.orv-hub-removing.N, which
// every later recovery tries to delete again, so that it never blocks the next operation.

// The progress text with which stageAndActivate says that activation begins: from then on the
// cancel flag is no longer read.
inline constexpr char activatingMessage[] = "Activating the new version";

// Receives the complete staging folder before it is activated (to add a receipt, say).
using StagedCallback = std::function<void(const std::filesystem::path& stagingFolder)>;

// Whether stageAndActivate may move the source folder itself into place (the caller discards
// it afterwards) or must leave it as it is.
enum class SourceUse { Copy, MayMove };

// Replaces (or creates) target with the content of source. With SourceUse::MayMove and source
// on the target's volume, the source folder is moved to the staging folder in one step (it is
// gone afterwards); otherwise it is copied there with byte progress, honouring the cancel flag.
// Either way the staging folder holds the same files (links left out); activation then moves the
// old version aside and the new one into place, and rolls back to the old version on failure. Items
// listed in preservedPaths (relative paths) that the old version has and the new one lacks are
// copied into the new version first, all or nothing. Throws OperationCancelled; a runtime error
// with the message for the user ("<name> is in use. Close the programs using it and try again.",
// "Unable to copy <file>: ...", "Unable to keep <preserved item>: ...", "Unable to activate
// <name>: ...", "The previous version of <name> could not be restored from <folder>: ... Restart
// Orvantis Hub and try again." while recovery could not put an old version back, "The leftover
// folder <folder> blocks changes to <name> and could not be removed: ..." while a leftover
// could neither be deleted nor set aside); or a file-system error when a folder cannot be
// listed or created. A failed or cancelled staging folder is removed at once (what cannot be
// removed is left for recovery). Whatever happens, target is the complete old or the complete new
// version.
void stageAndActivate(const std::filesystem::path& source, const std::filesystem::path& target,
                      const std::vector<std::wstring>& preservedPaths,
                      const StagedCallback& onStaged, const ProgressCallback& progress,
                      const std::atomic<bool>& cancel, SourceUse sourceUse = SourceUse::Copy);

// For tests and the benchmark only: true makes every activation copy, as across volumes.
void setCopyActivationForTesting(bool forced);

// Finishes or undoes work on target that an earlier run left unfinished. An empty result when
// there was nothing to do, else "<name>: " and the steps, joined by "; ": what was done
// ("incomplete copy removed"), or what could not be done with the system's text in parentheses
// ("previous version could not be removed (...)"). Never throws; a leftover that cannot be removed
// is set aside for the next run.
std::string recoverInterruptedWork(const std::filesystem::path& target) noexcept;

// Removes folder by moving it aside and deleting it there; a missing folder is left alone.
// Throws a runtime error with the message for the user when the folder is in use, when a
// previous version could not be restored or a leftover blocks it (as stageAndActivate), or when
// not all of it could be deleted (the rest is deleted by the next recovery).
void removeInstalledFolder(const std::filesystem::path& folder, const ProgressCallback& progress);

} // namespace hub

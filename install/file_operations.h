#pragma once

#include "util/paths.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

namespace hub {

// File system primitives of the installation engine. They call the Windows API directly, so
// they work on long-path ("\\?\") names, and they never follow links: an entry that isLinkEntry
// calls a link (a symbolic link or junction) is removed or skipped as the link itself, never
// entered; every other entry, other reparse points included, is listed, copied and removed
// like a plain file or folder.

// A file-system error of the named operation on path, carrying a Windows error code.
std::filesystem::filesystem_error
fileSystemError(const char* operation, const std::filesystem::path& path, std::uint32_t error);

// Creates the folder and every missing ancestor; an existing folder is fine. Fails with a
// file-system error for the operation "create_directories".
void createDirectories(const std::filesystem::path& folder);

// Creates exactly one new folder; an existing entry of that name is a failure. Fails with a
// file-system error for the operation "create_directory".
void createDirectory(const std::filesystem::path& folder);

// Deletes the file or the folder with everything below it, clearing read-only attributes on
// the way. Deletes as much as it can and returns the first Windows error it met, 0 when the
// entry is gone (or was never there).
std::uint32_t removeTree(const std::filesystem::path& path) noexcept;

// Copies a file, or a folder with everything below it (links left out), to a destination that
// does not exist yet. Stops at the first failure and returns its Windows error (the part copied
// so far stays), 0 when everything was copied.
std::uint32_t copyTree(const std::filesystem::path& from, const std::filesystem::path& to) noexcept;

// One move that replaces an existing file and may copy across volumes; the Windows error
// code, 0 on success.
std::uint32_t moveOnce(const std::filesystem::path& from, const std::filesystem::path& to) noexcept;

// moveOnce tried up to 8 times with a pause of 150 ms after each failed attempt, for the
// moves that take a folder out of place or put one into place. The last attempt's error code,
// 0 on success.
std::uint32_t renameWithRetry(const std::filesystem::path& from,
                              const std::filesystem::path& to) noexcept;

// For tests only: an interceptor sees every moveOnce call before the move happens. It
// returns an error code to report instead of moving (simulating a refused move), or nothing to
// let the move go ahead. The program itself never installs one; an empty function removes it.
using MoveInterceptor = std::function<std::optional<std::uint32_t>(
    const std::filesystem::path& from, const std::filesystem::path& to)>;
void setMoveInterceptorForTesting(MoveInterceptor interceptor);

// The pause of renameWithRetry after a failed attempt, in milliseconds; tests may shorten it.
inline constexpr std::uint32_t renamePauseMilliseconds = 150;
void setRenamePauseForTesting(std::uint32_t milliseconds);

} // namespace hub

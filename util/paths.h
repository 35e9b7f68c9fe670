#pragma once

#include <filesystem>
#include <string>

namespace hub {

// The path's native text as UTF-8; fails with "invalid UTF-16 text".
std::string pathToUtf8(const std::filesystem::path& path);

// Lexical comparison ignoring case: "." and ".." resolved, separators folded, trailing
// separators ignored except a drive root's. No file system access; relative stays relative.
bool samePath(const std::filesystem::path& a, const std::filesystem::path& b) noexcept;

// True when the entry's attributes can be read; an entry that cannot be read counts as absent.
bool pathExists(const std::filesystem::path& path) noexcept;

// The path without separators at its end, except the one of a root ("\\", "C:\\").
std::filesystem::path withoutTrailingSeparators(const std::filesystem::path& path);

// The entry is a folder, or a regular file (links followed); an entry that cannot be queried
// is neither.
bool isDirectory(const std::filesystem::path& path) noexcept;
bool isRegularFile(const std::filesystem::path& path) noexcept;

// A drive path ("C:\\x") or a UNC path ("\\\\server\\share"), long forms included: a path that
// means the same whatever the current folder is.
bool isAbsolutePath(const std::filesystem::path& path) noexcept;

// One name of a folder entry: not empty, not "." or "..", without separators or a colon, so that
// joining it to a folder stays inside that folder.
bool isPlainName(const std::filesystem::path& name) noexcept;

// The last component as UTF-8, for naming a file or folder in a user message.
std::string leafName(const std::filesystem::path& path);

} // namespace hub

#pragma once

#include <filesystem>

namespace hub {

// The path normalised lexically with "\" separators and, for drive and UNC paths, the "\\?\"
// prefix that lifts the MAX_PATH limit (\\?\C:\x, \\?\UNC\server\share\x). Paths that already
// carry the prefix are returned unchanged; relative and drive-relative paths stay as they are.
std::filesystem::path toLongPath(const std::filesystem::path& path);

} // namespace hub

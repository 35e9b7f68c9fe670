#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace hub {

// Fails with "Not enough disk space on C:\ to install <name>: 3.2 GB needed, 1.1 GB free."
// unless the volume of the path (or of its nearest existing ancestor) has that many bytes free
// for this user. A volume whose free space cannot be read is not judged: the writes themselves
// then report what stops them.
void requireDiskSpace(const std::filesystem::path& path, std::uint64_t bytes,
                      const std::string& name);

// Whether the two paths (or their nearest existing ancestors) lie on one volume; false when
// either volume cannot be told.
bool onSameVolume(const std::filesystem::path& a, const std::filesystem::path& b);

// A size as Explorer shows it, in units of 1024: "12 KB", "5.1 MB", "3.2 GB".
std::string readableSize(std::uint64_t bytes);

} // namespace hub

#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace hub {

// One entry of a folder tree that is about to be copied.
struct TreeEntry {
    std::filesystem::path relativePath; // below the listed folder
    std::uint64_t size = 0;             // bytes of a file; 0 for a folder
    bool isDirectory = false;
};

// Every folder and regular file below source, recursively, each folder before its contents,
// in the order the system enumerates them. Symbolic links and junctions are skipped and not
// entered (skippedLinks, when given, tells whether there was any). totalBytes receives the sum
// of the file sizes. Fails with a file-system error for
// the operation "recursive_directory_iterator::recursive_directory_iterator" (source cannot be
// opened) or "recursive_directory_iterator::operator++" (a folder below it cannot be read).
std::vector<TreeEntry> listTree(const std::filesystem::path& source, std::uint64_t& totalBytes,
                                bool* skippedLinks = nullptr);

} // namespace hub

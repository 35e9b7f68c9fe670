#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace hub::test {

// A new empty folder under the system temporary folder, removed with everything in it when
// the object goes out of scope.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const noexcept { return path_; }
    [[nodiscard]] std::filesystem::path operator/(const std::filesystem::path& child) const {
        return path_ / child;
    }

private:
    std::filesystem::path path_;
};

// Whole-file helpers; they fail the running test (by throwing) when the file cannot be used.
std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, std::string_view content);

// Relative path (with '/' or '\') to content; a path ending in a separator is a folder.
using FileTree = std::map<std::string, std::string>;

// Creates the tree below root, making parent folders as needed.
void makeTree(const std::filesystem::path& root, const FileTree& tree);

// The files and folders below root in the same form, for comparing whole trees.
FileTree readTree(const std::filesystem::path& root);

// What the Weapons Patch's archive holds: its package folder with a "manifest.json" of the
// version, and the files (relative to that folder).
FileTree communityPackageArchive(const std::string& version, const FileTree& files = {});

// The messages of an activity log file, without their time stamps; none when it is missing.
std::vector<std::string> logMessages(const std::filesystem::path& file);

} // namespace hub::test

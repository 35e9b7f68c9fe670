#include "install/tree_listing.h"

#include "install/file_operations.h"
#include "install/folder_enumeration.h"

#include <windows.h>

namespace hub {

namespace {

class TreeWalker {
public:
    TreeWalker(const std::filesystem::path& source, std::uint64_t& totalBytes, bool* skippedLinks)
        : source_(source), totalBytes_(totalBytes), skippedLinks_(skippedLinks) {}

    std::vector<TreeEntry> walk() {
        totalBytes_ = 0;
        if (skippedLinks_ != nullptr) {
            *skippedLinks_ = false;
        }
        addChildren({}, "recursive_directory_iterator::recursive_directory_iterator");
        return std::move(entries_);
    }

private:
    void addChildren(const std::filesystem::path& relativeFolder, const char* openOperation) {
        const auto folder = relativeFolder.empty() ? source_ : source_ / relativeFolder;
        const auto result = forEachChild(folder, [&](const WIN32_FIND_DATAW& data) {
            if (!isLinkEntry(data)) {
                add(relativeFolder / data.cFileName, data);
            } else if (skippedLinks_ != nullptr) {
                *skippedLinks_ = true;
            }
        });
        if (result.error != 0) {
            throw fileSystemError(result.opened ? "recursive_directory_iterator::operator++"
                                                : openOperation,
                                  folder, result.error);
        }
    }

    void add(const std::filesystem::path& relative, const WIN32_FIND_DATAW& data) {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            entries_.push_back({relative, 0, true});
            addChildren(relative, "recursive_directory_iterator::operator++");
            return;
        }
        const std::uint64_t size =
            (std::uint64_t{data.nFileSizeHigh} << 32) | std::uint64_t{data.nFileSizeLow};
        entries_.push_back({relative, size, false});
        totalBytes_ += size;
    }

    const std::filesystem::path& source_;
    std::uint64_t& totalBytes_;
    bool* skippedLinks_;
    std::vector<TreeEntry> entries_;
};

} // namespace

std::vector<TreeEntry> listTree(const std::filesystem::path& source, std::uint64_t& totalBytes,
                                bool* skippedLinks) {
    return TreeWalker(source, totalBytes, skippedLinks).walk();
}

} // namespace hub

#pragma once

#include <filesystem>
#include <utility>

namespace hub {

// A folder that is removed, with everything in it, when its owner goes (by its long-path name,
// which reaches files deeper than the classic path limit).
class WorkFolder {
public:
    explicit WorkFolder(std::filesystem::path folder) noexcept : folder_(std::move(folder)) {}
    WorkFolder(WorkFolder&& other) noexcept : folder_(std::exchange(other.folder_, {})) {}
    WorkFolder& operator=(WorkFolder&&) = delete;
    ~WorkFolder();

    [[nodiscard]] const std::filesystem::path& path() const noexcept { return folder_; }

private:
    std::filesystem::path folder_;
};

} // namespace hub

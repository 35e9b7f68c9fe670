#pragma once

#include "update/velopack_api.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hub {

// A release package as the update framework describes it, copied into the hub's own memory.
struct ReleaseAsset {
    std::string packageId;
    std::string version;
    std::string type;
    std::string fileName;
    std::string sha1;
    std::string sha256;
    std::uint64_t size = 0;
    std::string notesMarkdown;
    std::string notesHtml;

    bool operator==(const ReleaseAsset&) const = default;
};

// What an update check found. Only the target release is used by the hub; the rest is kept
// so that the download gets back exactly what the check gave.
struct UpdateRecord {
    ReleaseAsset targetFullRelease;
    std::optional<ReleaseAsset> baseRelease;
    std::vector<ReleaseAsset> deltasToTarget;
    bool isDowngrade = false;

    bool operator==(const UpdateRecord&) const = default;
};

// Copies the library's record; a missing part fails with "Required property <name> was null".
UpdateRecord copyUpdateRecord(const velopack::UpdateInfo& info);

// The library's view of an asset, pointing into the given one's strings (never null).
velopack::Asset libraryAsset(const ReleaseAsset& asset) noexcept;

// The library's view of an update record, pointing into the record, which must outlive it.
class LibraryUpdateInfo {
public:
    explicit LibraryUpdateInfo(const UpdateRecord& record);
    LibraryUpdateInfo(const LibraryUpdateInfo&) = delete;
    LibraryUpdateInfo& operator=(const LibraryUpdateInfo&) = delete;

    [[nodiscard]] velopack::UpdateInfo* get() noexcept { return &info_; }

private:
    velopack::Asset target_;
    std::optional<velopack::Asset> base_;
    std::vector<velopack::Asset> deltas_;
    std::vector<velopack::Asset*> deltaPointers_;
    velopack::UpdateInfo info_{};
};

} // namespace hub

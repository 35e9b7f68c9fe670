#include "update/update_records.h"

#include <stdexcept>

namespace hub {

namespace {

std::runtime_error missingProperty(const char* name) {
    return std::runtime_error(std::string("Required property ") + name + " was null");
}

std::string requiredText(const char* text, const char* name) {
    if (text == nullptr) {
        throw missingProperty(name);
    }
    return text;
}

// Braced initialisation evaluates in order, so the first missing field is the one named.
ReleaseAsset copyAsset(const velopack::Asset& asset) {
    return ReleaseAsset{requiredText(asset.PackageId, "PackageId"),
                        requiredText(asset.Version, "Version"),
                        requiredText(asset.Type, "Type"),
                        requiredText(asset.FileName, "FileName"),
                        requiredText(asset.SHA1, "SHA1"),
                        requiredText(asset.SHA256, "SHA256"),
                        asset.Size,
                        requiredText(asset.NotesMarkdown, "NotesMarkdown"),
                        requiredText(asset.NotesHtml, "NotesHtml")};
}

// The library only reads what the hub hands in, so its non-const fields may point at the
// hub's own strings.
char* libraryText(const std::string& text) noexcept {
    return const_cast<char*>(text.c_str());
}

} // namespace

UpdateRecord copyUpdateRecord(const velopack::UpdateInfo& info) {
    if (info.TargetFullRelease == nullptr) {
        throw missingProperty("TargetFullRelease");
    }
    UpdateRecord record;
    record.targetFullRelease = copyAsset(*info.TargetFullRelease);
    if (info.BaseRelease != nullptr) {
        record.baseRelease = copyAsset(*info.BaseRelease);
    }
    if (info.DeltasToTargetCount > 0 && info.DeltasToTarget == nullptr) {
        throw missingProperty("DeltasToTarget");
    }
    for (std::size_t index = 0; index < info.DeltasToTargetCount; ++index) {
        const velopack::Asset* delta = info.DeltasToTarget[index];
        if (delta == nullptr) {
            throw missingProperty("DeltasToTarget");
        }
        record.deltasToTarget.push_back(copyAsset(*delta));
    }
    record.isDowngrade = info.IsDowngrade;
    return record;
}

velopack::Asset libraryAsset(const ReleaseAsset& asset) noexcept {
    return velopack::Asset{libraryText(asset.packageId),
                           libraryText(asset.version),
                           libraryText(asset.type),
                           libraryText(asset.fileName),
                           libraryText(asset.sha1),
                           libraryText(asset.sha256),
                           asset.size,
                           libraryText(asset.notesMarkdown),
                           libraryText(asset.notesHtml)};
}

LibraryUpdateInfo::LibraryUpdateInfo(const UpdateRecord& record)
    : target_(libraryAsset(record.targetFullRelease)) {
    if (record.baseRelease) {
        base_ = libraryAsset(*record.baseRelease);
    }
    deltas_.reserve(record.deltasToTarget.size());
    for (const ReleaseAsset& delta : record.deltasToTarget) {
        deltas_.push_back(libraryAsset(delta));
    }
    for (velopack::Asset& delta : deltas_) {
        deltaPointers_.push_back(&delta);
    }
    info_.TargetFullRelease = &target_;
    info_.BaseRelease = base_ ? &*base_ : nullptr;
    info_.DeltasToTarget = deltaPointers_.empty() ? nullptr : deltaPointers_.data();
    info_.DeltasToTargetCount = deltaPointers_.size();
    info_.IsDowngrade = record.isDowngrade;
}

} // namespace hub

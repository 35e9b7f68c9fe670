#include "util/folder_identity.h"

#include "util/paths.h"
#include "util/unique_handle.h"

#include <windows.h>

#include <optional>
#include <string>

namespace hub {

namespace {

struct FileIdentity {
    DWORD volume = 0;
    ULONGLONG index = 0;
    bool operator==(const FileIdentity&) const = default;
};

// Opened for its attributes only, links followed, whoever else has it open.
UniqueHandle openForQuery(const std::filesystem::path& path) {
    return UniqueHandle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

std::optional<FileIdentity> identityOf(const std::filesystem::path& path) {
    const UniqueHandle file = openForQuery(path);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file || !GetFileInformationByHandle(file.get(), &information)) {
        return std::nullopt;
    }
    return FileIdentity{information.dwVolumeSerialNumber,
                        (ULONGLONG{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
}

// The path the system reaches the entry by, links and substituted drives resolved.
std::optional<std::filesystem::path> resolvedPath(const std::filesystem::path& path) {
    const UniqueHandle file = openForQuery(path);
    if (!file) {
        return std::nullopt;
    }
    std::wstring buffer(32768, L'\0');
    const DWORD length =
        GetFinalPathNameByHandleW(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    if (length == 0 || length >= buffer.size()) {
        return std::nullopt;
    }
    buffer.resize(length);
    return std::filesystem::path(std::move(buffer));
}

bool ancestorIs(const std::filesystem::path& folder, const std::filesystem::path& root,
                const std::optional<FileIdentity>& rootIdentity) {
    // ".." resolved first, so that no ancestor is passed through; a long form ("\\?\") is
    // left as it is, since normalising would fold its prefix and it holds no ".." anyway.
    const bool longForm = folder.native().starts_with(LR"(\\?\)");
    for (std::filesystem::path current = longForm ? folder : folder.lexically_normal();;) {
        const auto identity = rootIdentity ? identityOf(current) : std::nullopt;
        if (identity ? *identity == *rootIdentity : samePath(current, root)) {
            return true;
        }
        std::filesystem::path parent = current.parent_path();
        if (parent.empty() || parent == current) {
            return false;
        }
        current = std::move(parent);
    }
}

} // namespace

bool isWithinFolder(const std::filesystem::path& folder,
                    const std::filesystem::path& root) noexcept {
    try {
        if (root.empty()) {
            return false;
        }
        const auto rootIdentity = identityOf(root);
        if (ancestorIs(folder, root, rootIdentity)) {
            return true;
        }
        const auto resolved = resolvedPath(folder);
        return resolved && ancestorIs(*resolved, root, rootIdentity);
    } catch (const std::exception&) {
        // Only memory running out gets here; a folder the guard cannot judge counts as inside.
        return true;
    }
}

} // namespace hub

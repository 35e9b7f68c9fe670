#include "util/known_folder.h"

#include "util/co_task_text.h"

#include <shlobj.h>

#include <memory>
#include <optional>
#include <stdexcept>

namespace hub {

namespace {

// The folder's path; nothing when the system cannot tell it.
std::optional<std::filesystem::path> knownFolder(const GUID& folderId, DWORD flags) {
    wchar_t* raw = nullptr;
    const HRESULT result = SHGetKnownFolderPath(folderId, flags, nullptr, &raw);
    const CoTaskText text(raw);
    if (FAILED(result) || !text) {
        return std::nullopt;
    }
    return std::filesystem::path(text.get());
}

} // namespace

std::filesystem::path knownFolderPath(const GUID& folderId) {
    auto path = knownFolder(folderId, 0);
    if (!path) {
        throw std::runtime_error("unable to locate a Windows user folder");
    }
    return std::move(*path);
}

std::filesystem::path desktopFolder() {
    auto path = knownFolder(FOLDERID_Desktop, KF_FLAG_CREATE);
    if (!path) {
        throw std::runtime_error("Unable to locate the Windows Desktop folder.");
    }
    return std::move(*path);
}

} // namespace hub

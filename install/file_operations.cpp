#include "install/file_operations.h"

#include "install/folder_enumeration.h"

#include <windows.h>

#include <atomic>
#include <system_error>
#include <utility>

namespace hub {

namespace {

MoveInterceptor& moveInterceptor() {
    static MoveInterceptor interceptor;
    return interceptor;
}

std::atomic<DWORD> renamePauseMilliseconds{150};

bool isLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool isFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Runs a delete call; when it is refused because of the read-only attribute, clears that
// attribute and tries once more.
template <typename Delete>
DWORD deleteEntry(const std::filesystem::path& path, DWORD attributes, Delete remove) {
    if (remove(path.c_str())) {
        return 0;
    }
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY})) {
        error = remove(path.c_str()) ? 0 : GetLastError();
    }
    return error;
}

} // namespace

std::filesystem::filesystem_error
fileSystemError(const char* operation, const std::filesystem::path& path, std::uint32_t error) {
    return {operation, path, std::error_code(static_cast<int>(error), std::system_category())};
}

bool pathExists(const std::filesystem::path& path) noexcept {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void createDirectories(const std::filesystem::path& folder) {
    if (isFolder(GetFileAttributesW(folder.c_str()))) {
        return;
    }
    const auto parent = folder.parent_path();
    if (!parent.empty() && parent != folder) {
        createDirectories(parent);
    }
    if (!CreateDirectoryW(folder.c_str(), nullptr)) {
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS || !isFolder(GetFileAttributesW(folder.c_str()))) {
            throw fileSystemError("create_directories", folder, error);
        }
    }
}

void createDirectory(const std::filesystem::path& folder) {
    if (!CreateDirectoryW(folder.c_str(), nullptr)) {
        throw fileSystemError("create_directory", folder, GetLastError());
    }
}

std::uint32_t removeTree(const std::filesystem::path& path) noexcept {
    try {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : error;
        }
        if (!isFolder(attributes)) {
            return deleteEntry(path, attributes, DeleteFileW);
        }
        DWORD firstError = 0;
        const auto keep = [&firstError](DWORD error) {
            if (firstError == 0) {
                firstError = error;
            }
        };
        if (!isLink(attributes)) {
            keep(forEachChild(path, [&](const WIN32_FIND_DATAW& data) {
                     keep(removeTree(path / data.cFileName));
                 }).error);
        }
        const DWORD error = deleteEntry(path, attributes, RemoveDirectoryW);
        return firstError != 0 ? firstError : error;
    } catch (...) {
        return ERROR_OUTOFMEMORY;
    }
}

void copyTreeBestEffort(const std::filesystem::path& from,
                        const std::filesystem::path& to) noexcept {
    try {
        const DWORD attributes = GetFileAttributesW(from.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || isLink(attributes)) {
            return;
        }
        if (!isFolder(attributes)) {
            CopyFileW(from.c_str(), to.c_str(), TRUE);
            return;
        }
        if (CreateDirectoryW(to.c_str(), nullptr)) {
            forEachChild(from, [&](const WIN32_FIND_DATAW& data) {
                copyTreeBestEffort(from / data.cFileName, to / data.cFileName);
            });
        }
    } catch (...) {
        // Leaves out whatever was not copied yet.
    }
}

std::uint32_t moveReplacing(const std::filesystem::path& from,
                            const std::filesystem::path& to) noexcept {
    if (const auto& interceptor = moveInterceptor()) {
        try {
            if (const auto refusal = interceptor(from, to)) {
                return *refusal;
            }
        } catch (...) {
            return ERROR_GEN_FAILURE;
        }
    }
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)
               ? 0
               : GetLastError();
}

std::uint32_t renameWithRetry(const std::filesystem::path& from,
                              const std::filesystem::path& to) noexcept {
    constexpr int attempts = 8;
    std::uint32_t error = 0;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        error = moveReplacing(from, to);
        if (error == 0) {
            return 0;
        }
        Sleep(renamePauseMilliseconds.load());
    }
    return error;
}

void setMoveInterceptorForTesting(MoveInterceptor interceptor) {
    moveInterceptor() = std::move(interceptor);
}

void setRenamePauseForTesting(std::uint32_t milliseconds) {
    renamePauseMilliseconds = milliseconds;
}

} // namespace hub

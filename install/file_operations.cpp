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

std::atomic<DWORD> renamePause{renamePauseMilliseconds};

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

// The find data of the entry itself (no wildcard in the name); false when it cannot be read,
// with the system's error left for GetLastError.
bool findEntry(const std::filesystem::path& path, WIN32_FIND_DATAW& data) {
    const HANDLE find =
        FindFirstFileExW(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        return false;
    }
    FindClose(find);
    return true;
}

DWORD removeEntry(const std::filesystem::path& path, const WIN32_FIND_DATAW& data) {
    const DWORD attributes = data.dwFileAttributes;
    if (!isFolder(attributes)) {
        return deleteEntry(path, attributes, DeleteFileW);
    }
    DWORD firstError = 0;
    const auto keep = [&firstError](DWORD error) {
        if (firstError == 0) {
            firstError = error;
        }
    };
    if (!isLinkEntry(data)) {
        keep(forEachChild(path, [&](const WIN32_FIND_DATAW& child) {
                 keep(removeEntry(path / child.cFileName, child));
             }).error);
    }
    const DWORD error = deleteEntry(path, attributes, RemoveDirectoryW);
    return firstError != 0 ? firstError : error;
}

DWORD copyEntry(const std::filesystem::path& from, const std::filesystem::path& to,
                const WIN32_FIND_DATAW& data) {
    if (isLinkEntry(data)) {
        return 0;
    }
    if (!isFolder(data.dwFileAttributes)) {
        return CopyFileW(from.c_str(), to.c_str(), TRUE) ? 0 : GetLastError();
    }
    if (!CreateDirectoryW(to.c_str(), nullptr)) {
        return GetLastError();
    }
    DWORD firstError = 0;
    const auto result = forEachChild(from, [&](const WIN32_FIND_DATAW& child) {
        if (firstError == 0) {
            firstError = copyEntry(from / child.cFileName, to / child.cFileName, child);
        }
    });
    return firstError != 0 ? firstError : result.error;
}

} // namespace

std::filesystem::filesystem_error
fileSystemError(const char* operation, const std::filesystem::path& path, std::uint32_t error) {
    return {operation, path, std::error_code(static_cast<int>(error), std::system_category())};
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
        WIN32_FIND_DATAW data;
        if (!findEntry(path, data)) {
            const DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : error;
        }
        return removeEntry(path, data);
    } catch (...) {
        return ERROR_OUTOFMEMORY;
    }
}

std::uint32_t copyTree(const std::filesystem::path& from,
                       const std::filesystem::path& to) noexcept {
    try {
        WIN32_FIND_DATAW data;
        return findEntry(from, data) ? copyEntry(from, to, data) : GetLastError();
    } catch (...) {
        return ERROR_OUTOFMEMORY;
    }
}

std::uint32_t moveOnce(const std::filesystem::path& from,
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
        error = moveOnce(from, to);
        if (error == 0) {
            return 0;
        }
        Sleep(renamePause.load());
    }
    return error;
}

void setMoveInterceptorForTesting(MoveInterceptor interceptor) {
    moveInterceptor() = std::move(interceptor);
}

void setRenamePauseForTesting(std::uint32_t milliseconds) {
    renamePause = milliseconds;
}

} // namespace hub

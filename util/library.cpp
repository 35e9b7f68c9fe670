#include "util/library.h"

namespace hub {

HMODULE loadLibraryQuietly(const std::filesystem::path& file) noexcept {
    DWORD previousMode = 0;
    const bool quiet =
        SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode) != FALSE;
    const HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD error = GetLastError();
    if (quiet) {
        SetThreadErrorMode(previousMode, nullptr);
    }
    SetLastError(error);
    return module;
}

} // namespace hub

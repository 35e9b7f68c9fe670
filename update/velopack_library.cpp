#include "update/velopack_library.h"

#include "util/executable_folder.h"

#include <algorithm>
#include <new>

namespace hub {

namespace {

template <typename Function> bool resolve(HMODULE module, const char* name, Function& target) {
    const FARPROC address = GetProcAddress(module, name);
    // Through void(*)() because that converts to any function pointer type without warnings.
    target = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
    return address != nullptr;
}

// Libraries older than this export hand the update check's result back in a caller-owned
// record of another layout; calling them with these declarations would corrupt memory.
// The export only marks the interface generation and is never called.
bool hasCurrentInterface(HMODULE module) {
    return GetProcAddress(module, "vpkc_new_source_github") != nullptr;
}

// Loads without the loader's own error boxes: a damaged library only turns updating off. The
// full path and the altered search path keep a stray copy elsewhere from being used, and let
// the library find its own dependencies beside itself.
HMODULE loadQuietly(const std::filesystem::path& file) {
    DWORD previousMode = 0;
    const bool quiet =
        SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode) != FALSE;
    const HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (quiet) {
        SetThreadErrorMode(previousMode, nullptr);
    }
    return module;
}

} // namespace

std::unique_ptr<VelopackLibrary>
VelopackLibrary::load(const std::filesystem::path& folder) noexcept {
    const HMODULE module = loadQuietly(folder / fileName);
    if (module == nullptr) {
        return nullptr;
    }
    std::unique_ptr<VelopackLibrary> library(new (std::nothrow) VelopackLibrary(module));
    if (!library) {
        FreeLibrary(module);
        return nullptr;
    }
    if (!library->resolveExports()) {
        return nullptr;
    }
    return library;
}

const VelopackLibrary* VelopackLibrary::besideExecutable() noexcept {
    // Never unloaded: the framework's start-up hook and the updater use it until the process
    // ends, and unloading it during the process's own teardown gains nothing.
    static const VelopackLibrary* const library = []() noexcept -> VelopackLibrary* {
        try {
            return load(executableFolder()).release();
        } catch (const std::exception&) {
            return nullptr;
        }
    }();
    return library;
}

VelopackLibrary::~VelopackLibrary() {
    FreeLibrary(module_);
}

bool VelopackLibrary::resolveExports() noexcept {
    return hasCurrentInterface(module_) && resolve(module_, "vpkc_app_run", appRun) &&
           resolve(module_, "vpkc_new_update_manager", newUpdateManager) &&
           resolve(module_, "vpkc_is_portable", isPortable) &&
           resolve(module_, "vpkc_check_for_updates", checkForUpdates) &&
           resolve(module_, "vpkc_free_update_info", freeUpdateInfo) &&
           resolve(module_, "vpkc_download_updates", downloadUpdates) &&
           resolve(module_, "vpkc_wait_exit_then_apply_updates", waitExitThenApplyUpdates) &&
           resolve(module_, "vpkc_free_update_manager", freeUpdateManager) &&
           resolve(module_, "vpkc_get_last_error", getLastError);
}

std::string VelopackLibrary::lastError() const {
    const std::size_t length = getLastError(nullptr, 0);
    std::string text(length, '\0');
    if (length == 0) {
        return text;
    }
    // The library also writes a NUL after the bytes it copies: with the length as capacity
    // that lands on the string's own terminator, never beyond it.
    const std::size_t written = getLastError(text.data(), length);
    text.resize(std::min(written, length));
    return text;
}

} // namespace hub

#include "update/velopack_library.h"

#include "util/executable_folder.h"
#include "util/library.h"

#include <algorithm>
#include <new>

namespace hub {

namespace {

// Libraries older than this export hand the update check's result back in a caller-owned
// record of another layout; calling them with these declarations would corrupt memory.
// The export only marks the interface generation and is never called.
bool hasCurrentInterface(HMODULE module) {
    return GetProcAddress(module, "vpkc_new_source_github") != nullptr;
}

} // namespace

std::unique_ptr<VelopackLibrary>
VelopackLibrary::load(const std::filesystem::path& folder) noexcept {
    // A damaged library only turns updating off; the full path keeps a stray copy elsewhere from
    // being used.
    const HMODULE module = loadLibraryQuietly(folder / fileName);
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
    return hasCurrentInterface(module_) && resolveExport(module_, "vpkc_app_run", appRun) &&
           resolveExport(module_, "vpkc_new_update_manager", newUpdateManager) &&
           resolveExport(module_, "vpkc_is_portable", isPortable) &&
           resolveExport(module_, "vpkc_check_for_updates", checkForUpdates) &&
           resolveExport(module_, "vpkc_free_update_info", freeUpdateInfo) &&
           resolveExport(module_, "vpkc_download_updates", downloadUpdates) &&
           resolveExport(module_, "vpkc_wait_exit_then_apply_updates", waitExitThenApplyUpdates) &&
           resolveExport(module_, "vpkc_free_update_manager", freeUpdateManager) &&
           resolveExport(module_, "vpkc_get_last_error", getLastError);
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

#pragma once

#include "update/velopack_api.h"

#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>

namespace hub {

// The update framework's library, "velopack_libc.dll", loaded by full path from a folder.
// A copy without the library (a development build, a plain zip) simply has none: callers
// then leave updating off.
class VelopackLibrary {
public:
    static constexpr const wchar_t* fileName = L"velopack_libc.dll";

    // The library in the given folder, or null when it is missing, cannot be loaded, or lacks
    // an export of the interface declared in velopack_api.h.
    static std::unique_ptr<VelopackLibrary> load(const std::filesystem::path& folder) noexcept;

    // The library beside the running executable, loaded on first use and kept for the life
    // of the process; null when there is none.
    static const VelopackLibrary* besideExecutable() noexcept;

    ~VelopackLibrary();
    VelopackLibrary(const VelopackLibrary&) = delete;
    VelopackLibrary& operator=(const VelopackLibrary&) = delete;

    velopack::AppRunFunction appRun = nullptr;
    velopack::NewUpdateManagerFunction newUpdateManager = nullptr;
    velopack::IsPortableFunction isPortable = nullptr;
    velopack::CheckForUpdatesFunction checkForUpdates = nullptr;
    velopack::FreeUpdateInfoFunction freeUpdateInfo = nullptr;
    velopack::DownloadUpdatesFunction downloadUpdates = nullptr;
    velopack::WaitExitThenApplyUpdatesFunction waitExitThenApplyUpdates = nullptr;
    velopack::FreeUpdateManagerFunction freeUpdateManager = nullptr;
    velopack::GetLastErrorFunction getLastError = nullptr;

    // The text of the library's last failure; read it right after a call reported one.
    [[nodiscard]] std::string lastError() const;

private:
    explicit VelopackLibrary(HMODULE module) noexcept : module_(module) {}
    bool resolveExports() noexcept;

    HMODULE module_;
};

} // namespace hub

#pragma once

#include "update/update_records.h"
#include "update/update_status.h"
#include "update/velopack_library.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace hub {

// Keeps the hub up to date: one check of the update feed per run on a thread of its own, the
// download of a newer release, and its hand-over to the update framework, which installs it
// once the hub has exited. No failure here is fatal; each one becomes the "error" state.
class Updater {
public:
    // Uses the update framework's library beside the executable. Without the library, or with
    // an empty feed location, updating stays "disabled" and no thread starts.
    explicit Updater(std::string feedLocation);
    Updater(std::string feedLocation, const VelopackLibrary* library);
    // Waits for a check or download that is still running.
    ~Updater();
    void waitUntilIdle();
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    [[nodiscard]] UpdateStatus getUpdateStatus() const;

    // Hands a downloaded release to the framework for installation after exit; true when the
    // framework took it. Only in state "ready"; called once, while the hub shuts down.
    bool applyUpdateOnExit();

    // The framework's "Update.exe" that uninstalls the hub, found from the executable's
    // folder; empty when there is none.
    static std::filesystem::path locateUpdateTool();

private:
    struct ManagerRelease {
        velopack::FreeUpdateManagerFunction release;
        void operator()(velopack::Manager* manager) const noexcept { release(manager); }
    };
    using ManagerHandle = std::unique_ptr<velopack::Manager, ManagerRelease>;

    void checkInBackground() noexcept;
    void check();
    ManagerHandle createManager() const;
    std::optional<UpdateRecord> findUpdate(velopack::Manager* manager) const;
    void download(velopack::Manager* manager, const UpdateRecord& record);
    [[nodiscard]] std::string failureText() const;
    void setStatus(UpdateStatus status);
    static void HUB_VPKC_CALL reportProgress(void* updater, std::size_t progress) noexcept;

    const VelopackLibrary* library_;
    const std::string feedLocation_;
    ManagerHandle manager_{nullptr, ManagerRelease{nullptr}};
    std::optional<UpdateRecord> record_;
    mutable std::mutex mutex_;
    UpdateStatus status_;
    std::thread checkThread_;
};

} // namespace hub

#include "update/updater.h"

#include "update/update_tool.h"
#include "util/executable_folder.h"

#include <algorithm>

namespace hub {

namespace {

UpdateStatus checking() {
    return {"checking", "", 0, "Checking for updates..."};
}

UpdateStatus portable() {
    return {"disabled", "", 0, "Updates are disabled in portable mode."};
}

UpdateStatus upToDate() {
    return {"upToDate", "", 0, "The application is up to date."};
}

UpdateStatus downloading(const std::string& version) {
    return {"downloading", version, 0, "Downloading update " + version + "..."};
}

UpdateStatus ready(const std::string& version) {
    return {"ready", version, 100,
            "Update " + version + " is ready and will be installed after exit."};
}

UpdateStatus applying(const std::string& version) {
    return {"applying", version, 100, "Installing the update after exit..."};
}

UpdateStatus failed(std::string message) {
    return {"error", "", 0, std::move(message)};
}

// The library's record of a found update, released exactly once whatever happens to its copy.
struct InfoRelease {
    velopack::FreeUpdateInfoFunction release;
    void operator()(velopack::UpdateInfo* info) const noexcept { release(info); }
};

} // namespace

Updater::Updater(std::string feedLocation)
    : Updater(std::move(feedLocation), VelopackLibrary::besideExecutable()) {}

Updater::Updater(std::string feedLocation, const VelopackLibrary* library)
    : library_(library), feedLocation_(std::move(feedLocation)) {
    if (library_ == nullptr || feedLocation_.empty()) {
        return;
    }
    status_ = checking();
    checkThread_ = std::thread(&Updater::checkInBackground, this);
}

Updater::~Updater() {
    waitUntilIdle();
}

void Updater::waitUntilIdle() {
    if (checkThread_.joinable()) {
        checkThread_.join();
    }
}

UpdateStatus Updater::getUpdateStatus() const {
    const std::lock_guard lock(mutex_);
    return status_;
}

bool Updater::applyUpdateOnExit() {
    if (getUpdateStatus().state != "ready") {
        return false;
    }
    waitUntilIdle();
    if (!manager_ || !record_) {
        return false;
    }
    const ReleaseAsset& target = record_->targetFullRelease;
    setStatus(applying(target.version));
    velopack::Asset asset = libraryAsset(target);
    if (library_->waitExitThenApplyUpdates(manager_.get(), &asset, true, false, nullptr, 0)) {
        return true;
    }
    setStatus(failed(failureText()));
    return false;
}

std::filesystem::path Updater::locateUpdateTool() {
    try {
        return hub::locateUpdateTool(executableFolder());
    } catch (const std::runtime_error&) {
        return {};
    }
}

void Updater::checkInBackground() noexcept {
    try {
        check();
    } catch (const std::exception& error) {
        setStatus(failed(error.what()));
    }
}

void Updater::check() {
    ManagerHandle manager = createManager();
    if (library_->isPortable(manager.get())) {
        setStatus(portable());
        return;
    }
    std::optional<UpdateRecord> record = findUpdate(manager.get());
    if (!record) {
        setStatus(upToDate());
        return;
    }
    const std::string version = record->targetFullRelease.version;
    setStatus(downloading(version));
    download(manager.get(), *record);
    const std::lock_guard lock(mutex_);
    manager_ = std::move(manager);
    record_ = std::move(record);
    status_ = ready(version);
}

Updater::ManagerHandle Updater::createManager() const {
    velopack::Manager* manager = nullptr;
    if (!library_->newUpdateManager(feedLocation_.c_str(), nullptr, nullptr, &manager) ||
        manager == nullptr) {
        throw std::runtime_error(failureText());
    }
    return ManagerHandle(manager, ManagerRelease{library_->freeUpdateManager});
}

std::optional<UpdateRecord> Updater::findUpdate(velopack::Manager* manager) const {
    velopack::UpdateInfo* found = nullptr;
    const auto result =
        static_cast<velopack::CheckResult>(library_->checkForUpdates(manager, &found));
    const std::unique_ptr<velopack::UpdateInfo, InfoRelease> info(
        found, InfoRelease{library_->freeUpdateInfo});
    if (result == velopack::CheckResult::UpdateError) {
        throw std::runtime_error(failureText());
    }
    if (result != velopack::CheckResult::UpdateAvailable) {
        return std::nullopt;
    }
    if (!info) {
        throw std::runtime_error("the update check found an update but returned no details");
    }
    return copyUpdateRecord(*info);
}

void Updater::download(velopack::Manager* manager, const UpdateRecord& record) {
    LibraryUpdateInfo info(record);
    if (!library_->downloadUpdates(manager, info.get(), &Updater::reportProgress, this)) {
        throw std::runtime_error(failureText());
    }
}

std::string Updater::failureText() const {
    std::string text = library_->lastError();
    if (text.empty()) {
        text = "the update framework failed without giving a reason";
    }
    return text;
}

void Updater::setStatus(UpdateStatus status) {
    const std::lock_guard lock(mutex_);
    status_ = std::move(status);
}

void HUB_VPKC_CALL Updater::reportProgress(void* updater, std::size_t progress) noexcept {
    auto& self = *static_cast<Updater*>(updater);
    try {
        const std::lock_guard lock(self.mutex_);
        self.status_.state = "downloading";
        self.status_.progress = static_cast<std::uint32_t>(std::min<std::size_t>(progress, 100));
    } catch (const std::exception&) {
        // A report that cannot be shown is dropped; the next one or the result follows.
    }
}

} // namespace hub

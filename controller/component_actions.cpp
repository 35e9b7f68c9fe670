#include "catalog/versions.h"
#include "controller/controller_impl.h"
#include "install/desktop_shortcut.h"
#include "install/processes.h"
#include "util/paths.h"
#include "util/text.h"

#include <algorithm>
#include <stdexcept>

namespace hub {

namespace {

const InstalledState notInstalled{};

ActionAvailability allowed() {
    return {.allowed = true, .reason = {}};
}

ActionAvailability refused(std::string reason = {}) {
    return {.allowed = false, .reason = std::move(reason)};
}

constexpr char busyReason[] = "Another operation is in progress.";

// Fails with the rule's reason, or with the fallback when the rule gives none.
void require(const ActionAvailability& availability, const std::string& fallback) {
    if (!availability.allowed) {
        throw std::runtime_error(availability.reason.empty() ? fallback : availability.reason);
    }
}

bool isApplication(const CatalogComponent& component) {
    return component.application.has_value();
}

} // namespace

bool isOlderThanCatalog(const CatalogComponent& component, const InstalledState& state) {
    return state.version.empty() || compareVersions(component.version, state.version) == 1;
}

const InstalledState&
ApplicationController::Impl::installedStateOf(const CatalogComponent& component) const {
    const auto found = installedStates.find(component.id);
    return found == installedStates.end() ? notInstalled : found->second;
}

bool ApplicationController::Impl::isRunning(const CatalogComponent& component) const {
    return runningApplications.contains(component.id);
}

ActionAvailability
ApplicationController::Impl::installRule(const CatalogComponent& component) const {
    if (!isReleased(catalog, component)) {
        return refused("Not available yet.");
    }
    if (isBusy()) {
        return refused(busyReason);
    }
    if (!isCompatible(component, selectedInstallation.family)) {
        return refused("Not available for " + selectedInstallation.label + ".");
    }
    if (!isDownloadAvailable(component)) {
        return refused("This package is not available for download.");
    }
    if (auto reason = invalidNamesReason(component); !reason.empty()) {
        return refused(std::move(reason));
    }
    if (isApplication(component) && isRunning(component)) {
        return refused("Close " + component.name + " before updating it.");
    }
    if (!isApplication(component) && selectedInstallation.communityFolder.empty()) {
        return refused("Select your MSFS Community folder in Settings.");
    }
    if (!isApplication(component) && !selectedInstallation.available) {
        return refused("The Community folder cannot be found. Check Settings.");
    }
    return allowed();
}

ActionAvailability
ApplicationController::Impl::uninstallRule(const CatalogComponent& component) const {
    if (!installedStateOf(component).installed) {
        return refused();
    }
    if (isBusy()) {
        return refused(busyReason);
    }
    if (isApplication(component) && isRunning(component)) {
        return refused("Close " + component.name + " before uninstalling it.");
    }
    return allowed();
}

ActionAvailability
ApplicationController::Impl::launchRule(const CatalogComponent& component) const {
    if (!isApplication(component) || !installedStateOf(component).installed ||
        isRunning(component)) {
        return refused();
    }
    if (!isReleased(catalog, component)) {
        return refused("Not available yet.");
    }
    if (isBusy()) {
        return refused(busyReason);
    }
    return allowed();
}

ActionAvailability ApplicationController::Impl::stopRule(const CatalogComponent& component) const {
    if (!isApplication(component) || !isRunning(component)) {
        return refused();
    }
    if (component.application->stopArguments.empty()) {
        return refused(component.name + " closes from its own window.");
    }
    return allowed();
}

ActionAvailability
ApplicationController::Impl::shortcutRule(const CatalogComponent& component) const {
    if (!isApplication(component) || !installedStateOf(component).installed) {
        return refused();
    }
    if (isBusy()) {
        return refused(busyReason);
    }
    return allowed();
}

void ApplicationController::Impl::install(const CatalogComponent& component) {
    require(installRule(component), {});
    const InstalledState& state = installedStateOf(component);
    std::string label = "install";
    if (state.installed) {
        label = isOlderThanCatalog(component, state) ? "update" : "reinstall";
    }
    startOperation(
        OperationKind::Install, component, label,
        installedLocation(component, communityFolderInUse(), folders.localAppDataFolder));
}

void ApplicationController::Impl::uninstall(const CatalogComponent& component) {
    require(uninstallRule(component), component.name + " is not installed.");
    startOperation(OperationKind::Uninstall, component, "uninstall",
                   installedStateOf(component).location);
}

void ApplicationController::Impl::launch(const CatalogComponent& component) {
    require(launchRule(component), component.name + " cannot be started.");
    const auto program = installedStateOf(component).location / component.application->executable;
    startDetached(program, component.application->launchArguments);
    runningApplications.insert(component.id);
    log.write("launch " + component.id + " " + pathToUtf8(program));
    setNotice(component.name + " started.");
}

void ApplicationController::Impl::stop(const CatalogComponent& component) {
    require(stopRule(component), component.name + " is not running.");
    const auto program = installedStateOf(component).location / component.application->executable;
    startDetached(program, component.application->stopArguments);
    log.write("stop " + component.id);
    setNotice("Stopping " + component.name + "...");
}

void ApplicationController::Impl::createShortcut(const CatalogComponent& component) {
    require(shortcutRule(component), component.name + " is not installed.");
    const ApplicationInfo& application = *component.application;
    const auto program = installedStateOf(component).location / application.executable;
    const std::wstring name =
        application.displayName.empty() ? toWide(component.name) : application.displayName;
    createDesktopShortcut(program, application.launchArguments, name);
    log.write("desktop shortcut " + component.id + " -> " + pathToUtf8(program));
    setNotice(component.name + " shortcut created on the Desktop.");
}

void ApplicationController::Impl::openFolder(const CatalogComponent& component) {
    const InstalledState& state = installedStateOf(component);
    if (!state.installed) {
        throw std::runtime_error(component.name + " is not installed.");
    }
    options.openWithShell(state.location.native());
}

void ApplicationController::Impl::openLink(const std::string& url) {
    const auto& origins = options.origins;
    const bool listed =
        url == origins.webUrl("/contact/") || url == origins.webUrl("/privacy-policy/") ||
        std::ranges::any_of(catalog.links,
                            [&](const CatalogLink& link) { return link.url == url; }) ||
        std::ranges::any_of(catalog.components, [&](const CatalogComponent& component) {
            return component.documentationUrl == url;
        });
    if (!listed) {
        throw std::runtime_error("This link is not part of the catalog.");
    }
    options.openWithShell(toWide(url));
}

} // namespace hub

#include "controller/controller_impl.h"
#include "util/paths.h"

#include <cmath>

namespace hub {

namespace {

using nlohmann::json;

json availability(const ActionAvailability& rule) {
    return {{"allowed", rule.allowed}, {"reason", rule.reason}};
}

json installationView(const SimulatorInstallation& installation) {
    return {{"id", installation.id},
            {"family", installation.family},
            {"name", installation.label},
            {"edition", installation.edition},
            {"communityFolder", pathToUtf8(installation.communityFolder)},
            {"available", installation.available}};
}

std::string status(const CatalogComponent& component, const InstalledState& state) {
    if (!state.installed) {
        return "notInstalled";
    }
    return isOlderThanCatalog(component, state) ? "updateAvailable" : "installed";
}

// -1 while indeterminate, else the percentage rounded half away from zero.
long progressPercent(double fraction) {
    return fraction >= 0.0 ? std::lround(fraction * 100.0) : -1;
}

} // namespace

json ApplicationController::Impl::componentView(const CatalogComponent& component) const {
    const InstalledState& state = installedStateOf(component);
    const bool application = component.application.has_value();
    return {{"id", component.id},
            {"name", component.name},
            {"kind", application ? "application" : "community"},
            {"sections", component.sections},
            {"simulators", component.simulators},
            {"summary", component.summary},
            {"description", component.description},
            {"documentationUrl", component.documentationUrl},
            {"imageUrl", component.image},
            {"availableVersion", component.version},
            {"installedVersion", state.version},
            {"status", status(component, state)},
            {"running", isRunning(component)},
            {"compatible", isCompatible(component, selectedInstallation.family)},
            {"packageAvailable", isDownloadAvailable(component)},
            {"location", pathToUtf8(state.location)},
            {"actions",
             {{"install", availability(installRule(component))},
              {"uninstall", availability(uninstallRule(component))},
              {"launch", availability(launchRule(component))},
              {"stop", availability(stopRule(component))},
              {"openFolder", availability({.allowed = state.installed, .reason = {}})},
              {"createShortcut", availability(shortcutRule(component))}}}};
}

std::string ApplicationController::Impl::snapshot() const {
    OperationStatus current;
    {
        const std::lock_guard lock(stateMutex);
        current = operation;
    }
    json links = json::array();
    for (const CatalogLink& link : catalog.links) {
        links.push_back({{"label", link.label}, {"url", link.url}});
    }
    json installationList = json::array();
    for (const SimulatorInstallation& installation : installations) {
        installationList.push_back(installationView(installation));
    }
    json sections = json::array();
    for (const CatalogFamily& family : catalog.families) {
        sections.push_back({{"id", family.id},
                            {"name", family.name},
                            {"subtitle", family.subtitle},
                            {"badge", family.badge},
                            {"iconUrl", family.iconUrl},
                            {"imageUrl", family.imageUrl},
                            {"enabled", family.enabled}});
    }
    json components = json::array();
    for (const CatalogComponent& component : catalog.components) {
        components.push_back(componentView(component));
    }
    const UpdateStatus update = updater.getUpdateStatus();
    const json document = {{"appVersion", hubVersion},
                           {"notice", notice},
                           {"error", error},
                           {"catalog", {{"links", std::move(links)}}},
                           {"simulator",
                            {{"running", simulatorRunning},
                             {"installations", std::move(installationList)},
                             {"target", installationView(selectedInstallation)},
                             {"customCommunityFolder", pathToUtf8(settings.customCommunityFolder)},
                             {"customCommunityAvailable", customCommunityAvailable}}},
                           {"sections", std::move(sections)},
                           {"components", std::move(components)},
                           {"operation",
                            {{"active", current.active},
                             {"componentId", current.componentId},
                             {"action", current.action},
                             {"progress", progressPercent(current.progress)},
                             {"message", current.message},
                             {"cancellable", current.cancellable},
                             {"bytesDone", current.transfer.bytesDone},
                             {"bytesTotal", current.transfer.bytesTotal},
                             {"bytesPerSecond", current.transfer.bytesPerSecond},
                             {"secondsLeft", current.transfer.secondsLeft}}},
                           {"update",
                            {{"state", update.state},
                             {"version", update.version},
                             {"progress", update.progress},
                             {"message", update.message}}}};
    return document.dump(-1, ' ', false, json::error_handler_t::replace);
}

} // namespace hub

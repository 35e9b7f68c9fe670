#include "catalog/catalog.h"

#include "catalog/origins.h"

#include <algorithm>
#include <stdexcept>

namespace hub {

namespace {

std::string weaponsPatchDescription(std::string_view what, std::string_view aircraft) {
    return "Installs the package required to enable " + std::string{what} +
           ". This patch is only needed on PC when the " + std::string{aircraft} +
           " was purchased from the Microsoft Marketplace, whose policies do not allow aircraft "
           "with functional weapons to be sold. It is not required for aircraft purchased from "
           "third-party stores.";
}

// The weapons patches differ only in their aircraft, simulator, version and wording.
struct WeaponsPatch {
    std::string_view family;     // "velmora"
    std::string_view aircraft;   // "Velmora"
    std::string_view simulator;  // "msfs2024"
    std::string_view version;    // "1.0.0"
    std::string_view capability; // "weapons" for the summary
    std::string_view enables;    // "functional weapons" for the description
};

CatalogComponent weaponsPatch(const Origins& origins, const WeaponsPatch& patch) {
    const std::string family{patch.family};
    const std::string folder = "orvantis-aircraft-" + family + "-weapons";
    CatalogComponent component;
    component.id = family + "-weapons-patch";
    component.name = "Weapons Patch";
    component.kind = ComponentKind::Community;
    component.sections = {family};
    component.simulators = {std::string{patch.simulator}};
    component.version = patch.version;
    component.folderName = folder;
    component.downloadUrl =
        origins.webUrl("/wp-content/uploads/package/orvantis-" + family + "-weapons-patch.zip");
    component.archiveFolder = folder;
    component.summary = "Enables functional " + std::string{patch.capability} + " integration.";
    component.description = weaponsPatchDescription(patch.enables, patch.aircraft);
    component.image = family + "-weapons-patch.jpg";
    return component;
}

CatalogComponent cameraSystem(const Origins& origins) {
    CatalogComponent component;
    component.id = "orv-camera";
    component.name = "Camera System";
    component.kind = ComponentKind::Application;
    component.sections = {"velmora"};
    component.simulators = {"msfs2024"};
    component.version = "0.11.0";
    component.folderName = "Orvantis.CameraSystem";
    component.downloadUrl = origins.webUrl("/downloads/orv-velmora-camera/orv-camera.zip");
    component.summary = "Camera bridge for realistic imagery in the Velmora avionics.";
    component.description =
        "Installs the camera system bridge as a Windows application. When the application is "
        "running during the flight, the IMA page on the lateral display shows a realistic camera "
        "view rendered from live simulator footage.";
    component.documentationUrl = origins.documentationUrl("/velmora/vtl-ima#cam-system");
    component.image = "velmora-camera-system.jpg";
    component.application = ApplicationInfo{.executable = L"ORV-Camera.exe",
                                            .displayName = L"Orvantis Camera System",
                                            .launchArguments = L"",
                                            .stopArguments = L"--stop",
                                            .uninstallArguments = L""};
    return component;
}

CatalogFamily makeFamily(std::string id, std::string name, std::string subtitle,
                         std::string badge) {
    return CatalogFamily{.id = std::move(id),
                         .name = std::move(name),
                         .subtitle = std::move(subtitle),
                         .badge = std::move(badge),
                         .iconUrl = {},
                         .imageUrl = {},
                         .enabled = true};
}

template <typename CatalogType> auto* findIn(CatalogType& catalog, std::string_view id) noexcept {
    const auto found = std::ranges::find(catalog.components, id, &CatalogComponent::id);
    return found == catalog.components.end() ? nullptr : &*found;
}

} // namespace

Catalog buildCatalog() {
    return buildCatalog(builtInOrigins());
}

Catalog buildCatalog(const Origins& origins) {
    Catalog catalog;
    catalog.links = {{"Documentation", origins.documentationUrl("/")},
                     {"Website", origins.webUrl("/")}};
    catalog.families = {makeFamily("velmora", "Velmora", "Corvain", "VEL"),
                        makeFamily("tarsek", "Tarsek", "Halvorn", "TAR"),
                        makeFamily("quenby", "Quenby", "Dremmel Works", "QN20")};
    catalog.components = {weaponsPatch(origins, {"velmora", "Velmora", "msfs2024", "1.0.0",
                                                 "weapons", "functional weapons"}),
                          cameraSystem(origins),
                          weaponsPatch(origins, {"tarsek", "Tarsek", "msfs2024", "1.0.0", "weapons",
                                                 "functional weapons"}),
                          weaponsPatch(origins, {"quenby", "Quenby", "msfs2020", "2.0.0", "cannon",
                                                 "the functional cannon"})};
    return catalog;
}

const CatalogComponent* findComponent(const Catalog& catalog, std::string_view id) noexcept {
    return findIn(catalog, id);
}

CatalogComponent* findComponent(Catalog& catalog, std::string_view id) noexcept {
    return findIn(catalog, id);
}

const CatalogComponent& componentById(const Catalog& catalog, std::string_view id) {
    const CatalogComponent* component = findComponent(catalog, id);
    if (component == nullptr) {
        throw std::runtime_error("unknown component: " + std::string{id});
    }
    return *component;
}

bool isDownloadAvailable(const CatalogComponent& component) noexcept {
    return !component.downloadUrl.empty();
}

bool isCompatible(const CatalogComponent& component, std::string_view targetFamily) noexcept {
    return component.simulators.empty() || targetFamily.empty() || targetFamily == "custom" ||
           std::ranges::find(component.simulators, targetFamily) != component.simulators.end();
}

bool isReleased(const Catalog& catalog, const CatalogComponent& component) noexcept {
    return std::ranges::any_of(component.sections, [&](const std::string& section) {
        return std::ranges::any_of(catalog.families, [&](const CatalogFamily& family) {
            return family.enabled && family.id == section;
        });
    });
}

} // namespace hub

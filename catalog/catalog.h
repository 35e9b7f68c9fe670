#pragma once

#include "catalog/origins.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hub {

// A link shown in the interface, opened in the user's browser.
struct CatalogLink {
    std::string label;
    std::string url;
};

// One aircraft product line; the interface shows one section per family.
struct CatalogFamily {
    std::string id;
    std::string name;
    std::string subtitle;
    std::string badge;
    std::string iconUrl;
    std::string imageUrl;
    bool enabled = false;
};

enum class ComponentKind : std::int32_t { Community = 0, Application = 1 };

// The parts of a Windows application component that the package folder alone cannot tell.
struct ApplicationInfo {
    std::wstring executable;
    std::wstring displayName; // shortcut name; the component's name when empty
    std::wstring launchArguments;
    std::wstring stopArguments;
    std::wstring uninstallArguments;
};

// An installable component: a Community folder package or a Windows application.
struct CatalogComponent {
    std::string id;
    std::string name;
    ComponentKind kind = ComponentKind::Community;
    std::vector<std::string> sections;   // ids of the families that list it
    std::vector<std::string> simulators; // simulator generations; empty means all
    std::string version; // the version the hub installs; the remote catalog may change it
    std::string folderName;
    std::string downloadUrl;             // empty: not downloadable yet
    std::filesystem::path archiveFolder; // folder inside the archive; empty for applications
    std::string summary;
    std::string description;
    std::string documentationUrl;
    std::string image;
    std::vector<std::wstring> preservedPaths;   // kept from the version being replaced
    std::optional<ApplicationInfo> application; // present exactly for applications
};

// Everything the hub can offer, in the order the interface shows it.
struct Catalog {
    std::vector<CatalogLink> links;
    std::vector<CatalogFamily> families;
    std::vector<CatalogComponent> components;
};

// The built-in catalog, compiled into the program, with its addresses on the given origins.
Catalog buildCatalog();
Catalog buildCatalog(const Origins& origins);

// The component whose id is byte for byte equal to id, or null.
const CatalogComponent* findComponent(const Catalog& catalog, std::string_view id) noexcept;
CatalogComponent* findComponent(Catalog& catalog, std::string_view id) noexcept;

// As findComponent, but fails with "unknown component: " and the id when there is none.
const CatalogComponent& componentById(const Catalog& catalog, std::string_view id);

// The component has an archive to download.
bool isDownloadAvailable(const CatalogComponent& component) noexcept;

// The component works with the selected target, given by its simulator family: an empty
// family (nothing selected) and "custom" (a custom Community folder) accept every component.
bool isCompatible(const CatalogComponent& component, std::string_view targetFamily) noexcept;

// At least one of the families that list the component is enabled.
bool isReleased(const Catalog& catalog, const CatalogComponent& component) noexcept;

} // namespace hub

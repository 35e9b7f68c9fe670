#include "catalog/catalog.h"
#include "catalog/origins.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace hub {
namespace {

TEST(BuiltInCatalog, LinksPointAtTheTwoOrigins) {
    const Catalog catalog = buildCatalog();
    ASSERT_EQ(catalog.links.size(), 2u);
    EXPECT_EQ(catalog.links[0].label, "Documentation");
    EXPECT_EQ(catalog.links[0].url, std::string{documentationOrigin()} + "/");
    EXPECT_EQ(catalog.links[1].label, "Website");
    EXPECT_EQ(catalog.links[1].url, std::string{webOrigin()} + "/");
}

TEST(BuiltInCatalog, OriginsAreHttpsHostsWithoutPath) {
    for (const std::string_view origin : {webOrigin(), documentationOrigin()}) {
        ASSERT_TRUE(origin.starts_with("https://")) << origin;
        EXPECT_EQ(origin.find('/', 8), std::string_view::npos) << origin;
        EXPECT_GT(origin.size(), 8u);
    }
    EXPECT_NE(webOrigin(), documentationOrigin());
    EXPECT_EQ(webUrl("/a?b"), std::string{webOrigin()} + "/a?b");
}

TEST(BuiltInCatalog, FamiliesInOrderAllEnabledWithoutPictures) {
    const Catalog catalog = buildCatalog();
    struct Expected {
        const char* id;
        const char* name;
        const char* subtitle;
        const char* badge;
    };
    const Expected expected[] = {{"velmora", "Velmora", "Corvain", "VEL"},
                                 {"tarsek", "Tarsek", "Halvorn", "TAR"},
                                 {"quenby", "Quenby", "Dremmel Works", "QN20"}};
    ASSERT_EQ(catalog.families.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const CatalogFamily& family = catalog.families[i];
        EXPECT_EQ(family.id, expected[i].id);
        EXPECT_EQ(family.name, expected[i].name);
        EXPECT_EQ(family.subtitle, expected[i].subtitle);
        EXPECT_EQ(family.badge, expected[i].badge);
        EXPECT_EQ(family.iconUrl, "");
        EXPECT_EQ(family.imageUrl, "");
        EXPECT_TRUE(family.enabled) << family.id;
    }
}

TEST(BuiltInCatalog, WeaponsPatchesAreCommunityPackages) {
    const Catalog catalog = buildCatalog();
    struct Expected {
        std::size_t index;
        const char* family;
        const char* simulator;
        const char* version;
        const char* summary;
        const char* description;
    };
    const Expected expected[] = {
        {0, "velmora", "msfs2024", "1.0.0", "Enables functional weapons integration.",
         "Installs the package required to enable functional weapons. This patch is only needed "
         "on PC when the Velmora was purchased from the Microsoft Marketplace, whose policies do "
         "not allow aircraft with functional weapons to be sold. It is not required for aircraft "
         "purchased from third-party stores."},
        {2, "tarsek", "msfs2024", "1.0.0", "Enables functional weapons integration.",
         "Installs the package required to enable functional weapons. This patch is only needed "
         "on PC when the Tarsek was purchased from the Microsoft Marketplace, whose policies do "
         "not allow aircraft with functional weapons to be sold. It is not required for aircraft "
         "purchased from third-party stores."},
        {3, "quenby", "msfs2020", "2.0.0", "Enables functional cannon integration.",
         "Installs the package required to enable the functional cannon. This patch is only "
         "needed on PC when the Quenby was purchased from the Microsoft Marketplace, whose "
         "policies do not allow aircraft with functional weapons to be sold. It is not required "
         "for aircraft purchased from third-party stores."}};
    ASSERT_EQ(catalog.components.size(), 4u);
    for (const Expected& patch : expected) {
        const CatalogComponent& component = catalog.components[patch.index];
        const std::string family = patch.family;
        const std::string folder = "orvantis-aircraft-" + family + "-weapons";
        EXPECT_EQ(component.id, family + "-weapons-patch");
        EXPECT_EQ(component.name, "Weapons Patch");
        EXPECT_EQ(component.kind, ComponentKind::Community);
        EXPECT_EQ(component.sections, std::vector<std::string>{family});
        EXPECT_EQ(component.simulators, std::vector<std::string>{patch.simulator});
        EXPECT_EQ(component.version, patch.version);
        EXPECT_EQ(component.folderName, folder);
        EXPECT_EQ(component.archiveFolder, std::filesystem::path{folder});
        EXPECT_EQ(component.downloadUrl, std::string{webOrigin()} +
                                             "/wp-content/uploads/package/orvantis-" + family +
                                             "-weapons-patch.zip");
        EXPECT_EQ(component.summary, patch.summary);
        EXPECT_EQ(component.description, patch.description);
        EXPECT_EQ(component.documentationUrl, "");
        EXPECT_EQ(component.image, family + "-weapons-patch.jpg");
        EXPECT_TRUE(component.preservedPaths.empty());
        EXPECT_FALSE(component.application.has_value());
    }
}

TEST(BuiltInCatalog, CameraSystemIsAnApplication) {
    const Catalog catalog = buildCatalog();
    const CatalogComponent& camera = catalog.components.at(1);
    EXPECT_EQ(camera.id, "orv-camera");
    EXPECT_EQ(camera.name, "Camera System");
    EXPECT_EQ(camera.kind, ComponentKind::Application);
    EXPECT_EQ(camera.sections, std::vector<std::string>{"velmora"});
    EXPECT_EQ(camera.simulators, std::vector<std::string>{"msfs2024"});
    EXPECT_EQ(camera.version, "0.11.0");
    EXPECT_EQ(camera.folderName, "Orvantis.CameraSystem");
    EXPECT_TRUE(camera.archiveFolder.empty());
    EXPECT_EQ(camera.downloadUrl,
              std::string{webOrigin()} + "/downloads/orv-velmora-camera/orv-camera.zip");
    EXPECT_EQ(camera.summary, "Camera bridge for realistic imagery in the Velmora avionics.");
    EXPECT_EQ(camera.description,
              "Installs the camera system bridge as a Windows application. When the application "
              "is running during the flight, the IMA page on the lateral display shows a "
              "realistic camera view rendered from live simulator footage.");
    EXPECT_EQ(camera.documentationUrl,
              std::string{documentationOrigin()} + "/velmora/vtl-ima#cam-system");
    EXPECT_EQ(camera.image, "velmora-camera-system.jpg");
    EXPECT_TRUE(camera.preservedPaths.empty());
    ASSERT_TRUE(camera.application.has_value());
    EXPECT_EQ(camera.application->executable, L"ORV-Camera.exe");
    EXPECT_EQ(camera.application->displayName, L"Orvantis Camera System");
    EXPECT_EQ(camera.application->launchArguments, L"");
    EXPECT_EQ(camera.application->stopArguments, L"--stop");
    EXPECT_EQ(camera.application->uninstallArguments, L"");
}

TEST(BuiltInCatalog, EveryComponentIsDownloadableAndReleased) {
    const Catalog catalog = buildCatalog();
    for (const CatalogComponent& component : catalog.components) {
        EXPECT_TRUE(isDownloadAvailable(component)) << component.id;
        EXPECT_TRUE(isReleased(catalog, component)) << component.id;
    }
}

TEST(BuiltInCatalog, CopiesCarryTheApplicationPart) {
    const Catalog catalog = buildCatalog();
    CatalogComponent copy = catalog.components.at(1);
    copy.application->stopArguments = L"changed";
    ASSERT_TRUE(copy.application.has_value());
    EXPECT_EQ(catalog.components.at(1).application->stopArguments, L"--stop");
    EXPECT_EQ(copy.application->executable, L"ORV-Camera.exe");
}

TEST(ComponentLookup, FindsExactIdsOnly) {
    Catalog catalog = buildCatalog();
    ASSERT_NE(findComponent(catalog, "tarsek-weapons-patch"), nullptr);
    EXPECT_EQ(findComponent(catalog, "tarsek-weapons-patch"), &catalog.components[2]);
    EXPECT_EQ(&componentById(catalog, "orv-camera"), &catalog.components[1]);
    for (const char* id : {"Velmora-Weapons-Patch", "velmora-weapons-patch ", "", "orv"}) {
        EXPECT_EQ(findComponent(catalog, id), nullptr) << id;
        EXPECT_EQ(findComponent(std::as_const(catalog), id), nullptr) << id;
    }
}

TEST(ComponentLookup, UnknownIdFailsWithTheId) {
    const Catalog catalog = buildCatalog();
    try {
        (void)componentById(catalog, "VELMORA-weapons-patch");
        FAIL() << "no failure";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "unknown component: VELMORA-weapons-patch");
    }
}

TEST(ComponentRules, CompatibilityFollowsTheTargetFamily) {
    CatalogComponent component;
    struct Case {
        std::vector<std::string> simulators;
        const char* target;
        bool compatible;
    };
    const Case cases[] = {
        {{}, "msfs2024", true},
        {{}, "msfs2020", true},
        {{"msfs2020"}, "msfs2024", false},
        {{"msfs2020"}, "msfs2020", true},
        {{"msfs2020"}, "custom", true},
        {{"msfs2020"}, "", true},
        {{"msfs2020"}, "MSFS2020", false},
        {{"msfs2024", "msfs2020"}, "msfs2020", true},
        {{"msfs2024"}, "Custom", false},
    };
    for (const Case& test : cases) {
        component.simulators = test.simulators;
        EXPECT_EQ(isCompatible(component, test.target), test.compatible)
            << "target '" << test.target << "' with " << test.simulators.size() << " simulators";
    }
}

TEST(ComponentRules, ReleasedNeedsAnEnabledFamily) {
    Catalog catalog = buildCatalog();
    const CatalogComponent& velmora = catalog.components.at(0);
    catalog.families.at(0).enabled = false;
    EXPECT_FALSE(isReleased(catalog, velmora));
    EXPECT_TRUE(isReleased(catalog, catalog.components.at(2)));

    CatalogComponent twoSections = velmora;
    twoSections.sections = {"velmora", "tarsek"};
    EXPECT_TRUE(isReleased(catalog, twoSections));
    twoSections.sections = {"Tarsek", "nobody"};
    EXPECT_FALSE(isReleased(catalog, twoSections));
    twoSections.sections.clear();
    EXPECT_FALSE(isReleased(catalog, twoSections));
}

TEST(ComponentRules, DownloadNeedsAUrl) {
    CatalogComponent component = buildCatalog().components.at(0);
    EXPECT_TRUE(isDownloadAvailable(component));
    component.downloadUrl.clear();
    EXPECT_FALSE(isDownloadAvailable(component));
}

} // namespace
} // namespace hub

#include "catalog/remote_catalog.h"

#include "catalog/origins.h"
#include "catalog/versions.h"
#include "settings/activity_log.h"
#include "util/https_get.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <stdexcept>

namespace hub {

namespace {

constexpr std::size_t largestCatalog = 65536;
constexpr std::size_t readChunk = 4096;
constexpr int networkTimeout = 5000;
constexpr std::size_t longestId = 64;

HttpsGetOptions catalogRequest() {
    return HttpsGetOptions{
        .timeouts = {networkTimeout, networkTimeout, networkTimeout, networkTimeout},
        .extraHeaders = L"Cache-Control: no-cache\r\nPragma: no-cache\r\n",
        .failures = {.invalidUrl = "The package catalog URL is not a valid HTTPS address.",
                     .initialize = "Unable to initialize the package catalog request",
                     .connect = "Unable to connect to the package catalog server",
                     .request = "Unable to download the package catalog",
                     .read = "The package catalog download was interrupted"}};
}

bool isUsableId(std::string_view id) noexcept {
    return !id.empty() && id.size() <= longestId && std::ranges::all_of(id, [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

} // namespace

std::string packageCatalogUrl(const Origins& origins) {
    return origins.webUrl("/downloads/orv-hub/packages.json");
}

std::string updateFeedUrl(const Origins& origins) {
    return origins.webUrl("/downloads/orv-hub/");
}

RemoteVersions fetchRemoteVersions(std::string_view url, const std::atomic<bool>* abort) {
    HttpsGet get{url, catalogRequest(), abort};
    const std::uint32_t status = get.statusCode();
    if (!HttpsGet::isSuccess(status)) {
        throw std::runtime_error("The package catalog server returned HTTP " +
                                 std::to_string(status) + ".");
    }
    std::string body;
    get.readBody(readChunk, [&body](std::string_view chunk) {
        body.append(chunk);
        if (body.size() > largestCatalog) {
            throw std::runtime_error("The package catalog response is too large.");
        }
    });
    return parseRemoteVersions(body);
}

RemoteVersions parseRemoteVersions(std::string_view body) {
    const nlohmann::json document = nlohmann::json::parse(body);
    if (!document.is_object()) {
        throw std::runtime_error("The package catalog response is not a JSON object.");
    }
    RemoteVersions versions;
    for (const auto& [id, value] : document.items()) {
        if (isUsableId(id) && value.is_string() &&
            isValidVersion(value.get_ref<const std::string&>())) {
            versions.emplace(id, value.get<std::string>());
        }
    }
    if (versions.empty()) {
        throw std::runtime_error("The package catalog does not contain any valid version.");
    }
    return versions;
}

RemoteVersions refreshRemoteVersions(std::string_view url, ActivityLog& log,
                                     const std::atomic<bool>* abort) {
    try {
        return fetchRemoteVersions(url, abort);
    } catch (const std::exception& error) {
        if (abort == nullptr || !*abort) { // an aborted request is no failure worth a line
            log.write(std::string{"package catalog refresh failed: "} + error.what());
        }
    }
    return {};
}

void applyRemoteVersions(Catalog& catalog, const RemoteVersions& versions, ActivityLog& log) {
    for (CatalogComponent& component : catalog.components) {
        const auto found = versions.find(component.id);
        if (found != versions.end() && found->second != component.version) {
            log.write("available " + component.id + " version " + found->second);
            component.version = found->second;
        }
    }
}

} // namespace hub

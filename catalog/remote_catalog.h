#pragma once

#include "catalog/catalog.h"

#include <atomic>
#include <string>
#include <string_view>
#include <unordered_map>

namespace hub {

class ActivityLog;

// Component id to the version that can be downloaded now, as the package catalog names it.
using RemoteVersions = std::unordered_map<std::string, std::string>;

// The address of the package catalog on the maker's web host.
std::string packageCatalogUrl(const Origins& origins);

// The address of the hub's own update feed.
std::string updateFeedUrl(const Origins& origins);

// Fetches the package catalog over HTTPS (5-second time-outs, at most 65536 bytes) and keeps
// its usable entries (see parseRemoteVersions). Fails with the user's text; a JSON syntax
// error surfaces as the JSON library's parse error. Raising the abort flag ends a request that
// waits for the server at once, with a failure.
RemoteVersions fetchRemoteVersions(std::string_view url, const std::atomic<bool>* abort = nullptr);

// The usable members of a package catalog body: names of 1 to 64 lower-case ASCII letters,
// digits and "-", with a string value that is a valid version. Fails when the body is not a
// JSON object or has no usable member.
RemoteVersions parseRemoteVersions(std::string_view body);

// The body of the catalog refresh: the fetched versions, or, after logging the failure as
// "package catalog refresh failed: " and its text, none; an aborted request logs nothing. Fails
// only when memory runs out.
RemoteVersions refreshRemoteVersions(std::string_view url, ActivityLog& log,
                                     const std::atomic<bool>* abort = nullptr);

// Takes every remote version that differs from a component's version, higher or lower, and
// logs "available <id> version <version>" for each. Unknown ids are ignored.
void applyRemoteVersions(Catalog& catalog, const RemoteVersions& versions, ActivityLog& log);

} // namespace hub

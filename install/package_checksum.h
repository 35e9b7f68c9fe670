#pragma once

#include "catalog/catalog.h"
#include "install/download_retry.h"

#include <atomic>
#include <string>

namespace hub {

// The SHA-256 that the maker publishes for the component's package (checksumRequestUrl), as 64
// lower-case hexadecimal digits; empty when none is published. Only a 200 whose body is at most
// 1 KiB and starts with 64 hexadecimal digits (and no more: the rest of the line, such as a
// file name, is ignored) is a checksum; a 404, another status or a web page that a host serves
// for a missing file mean none. A request that fails on the way is retried like the package.
std::string fetchPublishedChecksum(const CatalogComponent& component, DownloadRetrier& retrier,
                                   const std::atomic<bool>& cancel);

} // namespace hub

#pragma once

#include "catalog/catalog.h"
#include "install/progress_callback.h"
#include "util/https_get.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace hub {

// The largest archive that is downloaded; exactly this size is still accepted.
inline constexpr std::uint64_t largestPackageBytes = 2'147'483'648;

// Where a package's preparation reports: the operation's progress, the byte figures of its
// download and lines for the activity log. Any of them may be empty.
struct PackageReports {
    ProgressCallback progress = {};
    TransferCallback transfer = {};
    std::function<void(const std::string&)> log = {};
};

// Query-safe form of UTF-8 text: ASCII letters, digits, '-', '.' and '_' stay, every other
// byte becomes '%' and two upper-case hexadecimal digits.
std::string percentEncode(std::string_view text);

// The component's download URL with "v=" and the encoded version appended (after '?', or
// after '&' when the URL has a query already); the bare URL when the version is empty.
std::string packageRequestUrl(const CatalogComponent& component);

// The address of the package's published SHA-256: ".sha256" after the path of the download
// URL, with the same query as the package's.
std::string checksumRequestUrl(const CatalogComponent& component);

// Fetches the component's archive over HTTPS into the file, streaming it to disk, with progress
// 0 to 0.4 ("Downloading package", -1.0 while the length is unknown) and byte figures (back to
// the idle ones when it succeeds; after a failure the operation's end resets them).
//
// First it asks for the published checksum (checksumRequestUrl): only a 200 whose body is at
// most 1 KiB and starts with 64 hexadecimal digits is one. With a checksum the archive is hashed
// while it is written and a mismatch fails with "The downloaded package of <name> is damaged.
// Try again later."; without one the log says so and the archive goes unchecked.
//
// Before the first byte is written the work folder's volume must hold the announced size twice
// (the archive and its unpacked content). A connection that fails, drops or stalls (no byte for
// 30 s) is tried again up to 5 times after pauses of 1, 2, 4, 8 and 16 s ("Connection lost.
// Retrying in 4 s (attempt 3 of 5)…"); a body that had begun goes on where the file ends
// ("Range" with "If-Range" naming the first response's ETag, or its Last-Modified) when the
// server answers 206 from there, and starts over on a 200 or without a validator. The last
// failure's message ends the download. Fails with the message to show; throws
// OperationCancelled when the cancel flag is seen, at the latest 50 ms into a pause.
void downloadPackage(const CatalogComponent& component, const std::filesystem::path& archive,
                     const PackageReports& reports, const std::atomic<bool>& cancel);

// The options of every request for the component's package or its checksum: the fixed
// time-outs with that receive time-out (the stall time), the extra headers and the failure texts
// ("Unable to download <name>", "The package download was interrupted", ...).
HttpsGetOptions packageRequest(const CatalogComponent& component, std::uint32_t stall,
                               std::wstring headers = {});

} // namespace hub

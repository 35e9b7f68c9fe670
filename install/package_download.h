#pragma once

#include "catalog/catalog.h"
#include "install/progress_callback.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace hub {

// The largest archive that is downloaded; exactly this size is still accepted.
inline constexpr std::uint64_t largestPackageBytes = 2'147'483'648;

// Query-safe form of UTF-8 text: ASCII letters, digits, '-', '.' and '_' stay, every other
// byte becomes '%' and two upper-case hexadecimal digits.
std::string percentEncode(std::string_view text);

// The component's download URL with "v=" and the encoded version appended (after '?', or
// after '&' when the URL has a query already); the bare URL when the version is empty.
std::string packageRequestUrl(const CatalogComponent& component);

// Fetches the component's archive over HTTPS into the file, streaming it to disk, with
// progress 0 to 0.4 ("Downloading package", -1.0 while the length is unknown). Fails with
// the message to show; throws OperationCancelled when the cancel flag is seen.
void downloadPackage(const CatalogComponent& component, const std::filesystem::path& archive,
                     const ProgressCallback& progress, const std::atomic<bool>& cancel);

} // namespace hub

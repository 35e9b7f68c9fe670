#include "install/package_download.h"

#include "install/operation_cancelled.h"
#include "util/https_get.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace hub {

namespace {

constexpr int resolveTimeout = 15'000;
constexpr int networkTimeout = 30'000;
constexpr std::size_t readChunk = 65'536;
constexpr double downloadShare = 0.4;

HttpsGetOptions packageRequest(const CatalogComponent& component) {
    return HttpsGetOptions{
        .timeouts = {resolveTimeout, networkTimeout, networkTimeout, networkTimeout},
        .extraHeaders = {},
        .failures = {.invalidUrl = "The package URL is not a valid HTTPS address.",
                     .initialize = "Unable to initialize the package download",
                     .connect = "Unable to connect to the package server",
                     .request = "Unable to download " + component.name,
                     .read = "The package download was interrupted"}};
}

[[noreturn]] void refuseTooLarge() {
    throw std::runtime_error("The package is too large to download safely.");
}

} // namespace

std::string percentEncode(std::string_view text) {
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool kept = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                          (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_';
        if (kept) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += hexDigits[byte >> 4];
            encoded += hexDigits[byte & 0x0F];
        }
    }
    return encoded;
}

std::string packageRequestUrl(const CatalogComponent& component) {
    if (component.version.empty()) {
        return component.downloadUrl;
    }
    const char separator = component.downloadUrl.find('?') == std::string::npos ? '?' : '&';
    return component.downloadUrl + separator + "v=" + percentEncode(component.version);
}

namespace {

void download(const CatalogComponent& component, const std::filesystem::path& archive,
              const ProgressCallback& progress, const std::atomic<bool>& cancel) {
    HttpsGet get{packageRequestUrl(component), packageRequest(component), &cancel};
    const std::uint32_t status = get.statusCode();
    if (!HttpsGet::isSuccess(status)) {
        throw std::runtime_error("The package server returned HTTP " + std::to_string(status) +
                                 ".");
    }
    const std::uint64_t length = get.contentLength().value_or(0);
    if (length > largestPackageBytes) {
        refuseTooLarge();
    }
    std::ofstream file(archive, std::ios::binary | std::ios::trunc);
    if (!file) {
        throw std::runtime_error("Unable to create the temporary package file.");
    }
    if (cancel) {
        throw OperationCancelled();
    }
    std::uint64_t received = 0;
    get.readBody(readChunk, [&](std::string_view chunk) {
        received += chunk.size();
        if (received > largestPackageBytes) {
            refuseTooLarge();
        }
        if (!file.write(chunk.data(), static_cast<std::streamsize>(chunk.size()))) {
            throw std::runtime_error("Unable to write the downloaded package.");
        }
        if (progress) {
            progress(length == 0
                         ? -1.0
                         : std::min(downloadShare, static_cast<double>(received) * downloadShare /
                                                       static_cast<double>(length)),
                     "Downloading package");
        }
        if (cancel) {
            throw OperationCancelled();
        }
    });
    file.close();
    if (!file) {
        throw std::runtime_error("Unable to write the downloaded package.");
    }
    if (received == 0) {
        throw std::runtime_error("The downloaded package is empty.");
    }
}

} // namespace

void downloadPackage(const CatalogComponent& component, const std::filesystem::path& archive,
                     const ProgressCallback& progress, const std::atomic<bool>& cancel) {
    try {
        download(component, archive, progress, cancel);
    } catch (const std::exception&) {
        // A raised flag closes the request, which makes the pending call fail: that failure
        // is the cancel.
        if (cancel) {
            throw OperationCancelled();
        }
        throw;
    }
}

} // namespace hub

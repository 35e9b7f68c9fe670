#include "install/package_checksum.h"

#include "install/package_download.h"

#include <algorithm>
#include <cctype>

namespace hub {

namespace {

constexpr std::size_t largestChecksumBytes = 1'024;
constexpr std::size_t checksumDigits = 64;

// Thrown to stop reading a body that is too long to be a checksum.
struct NotAChecksum {};

bool isHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// The checksum at the start of the body, or empty.
std::string checksumIn(std::string body) {
    if (body.size() < checksumDigits ||
        !std::all_of(body.begin(), body.begin() + checksumDigits, isHexDigit) ||
        (body.size() > checksumDigits && isHexDigit(body[checksumDigits]))) {
        return {};
    }
    body.resize(checksumDigits);
    std::transform(body.begin(), body.end(), body.begin(), [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    return body;
}

} // namespace

std::string fetchPublishedChecksum(const CatalogComponent& component, DownloadRetrier& retrier,
                                   const std::atomic<bool>& cancel) {
    return retrier.run([&] {
        HttpsGet get{checksumRequestUrl(component),
                     packageRequest(component, retrier.stallMilliseconds()), &cancel};
        if (get.statusCode() != 200 || get.contentLength().value_or(0) > largestChecksumBytes) {
            return std::string{};
        }
        std::string body;
        try {
            get.readBody(largestChecksumBytes, [&](std::string_view chunk) {
                body.append(chunk);
                if (body.size() > largestChecksumBytes) {
                    throw NotAChecksum{};
                }
            });
        } catch (const NotAChecksum&) {
            return std::string{};
        }
        return checksumIn(std::move(body));
    });
}

} // namespace hub

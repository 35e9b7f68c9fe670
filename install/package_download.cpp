#include "install/package_download.h"

#include "install/disk_space.h"
#include "install/download_retry.h"
#include "install/operation_cancelled.h"
#include "install/package_checksum.h"
#include "install/transfer_meter.h"
#include "util/concurrent_sha256.h"
#include "util/text.h"

#include <windows.h>

#include <winhttp.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <stdexcept>

namespace hub {

namespace {

constexpr int resolveTimeout = 15'000;
constexpr int networkTimeout = 30'000;
constexpr std::size_t readChunk = 65'536;
constexpr double downloadShare = 0.4;

[[noreturn]] void refuseTooLarge() {
    throw std::runtime_error("The package is too large to download safely.");
}

std::string withVersionQuery(const std::string& url, const std::string& version) {
    if (version.empty()) {
        return url;
    }
    const char separator = url.find('?') == std::string::npos ? '?' : '&';
    return url + separator + "v=" + percentEncode(version);
}

// Whether a Content-Range ("bytes N-M/T") starts at offset and, when the whole size is known,
// belongs to a body of that size.
bool rangeContinues(const std::string& contentRange, std::uint64_t offset, std::uint64_t size) {
    const std::string start = "bytes " + std::to_string(offset) + "-";
    const std::string total = std::to_string(size);
    const auto slash = contentRange.rfind('/');
    return contentRange.starts_with(start) &&
           (size == 0 || (slash != std::string::npos && contentRange.substr(slash + 1) == total));
}

[[noreturn]] void throwInterrupted() {
    throw HttpsError("The package download was interrupted", ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
}

// One archive file filled by one or more responses: what it holds so far, the validator and the
// size of the response that began it, and the hash of what was written.
class ArchiveTransfer {
public:
    ArchiveTransfer(const CatalogComponent& component, const std::filesystem::path& archive,
                    const PackageReports& reports, const std::atomic<bool>& cancel, bool hashed)
        : component_(component), archive_(archive), reports_(reports), cancel_(cancel),
          hashed_(hashed) {}

    // One request: from the start, or on from the end of the file when the server can resume.
    void attempt(DownloadRetrier& retrier) {
        const bool resuming = received_ > 0 && !validator_.empty();
        std::wstring headers;
        if (resuming) {
            headers = L"Range: bytes=" + std::to_wstring(received_) + L"-\r\nIf-Range: " +
                      toWide(validator_) + L"\r\n";
        }
        HttpsGet get{packageRequestUrl(component_),
                     packageRequest(component_, retrier.stallMilliseconds(), std::move(headers)),
                     &cancel_};
        const std::uint32_t status = get.statusCode();
        if (resuming && status == 416) {
            // The file changed under the same validator: the next attempt starts over.
            validator_.clear();
            throwInterrupted();
        }
        if (!HttpsGet::isSuccess(status)) {
            throw std::runtime_error("The package server returned HTTP " + std::to_string(status) +
                                     ".");
        }
        if (!resuming || status != 206) {
            startOver(get);
        } else if (!rangeContinues(get.header(HttpsGet::Header::ContentRange), received_,
                                   announced_)) {
            // Another part than the one asked for: the next attempt starts over.
            validator_.clear();
            throwInterrupted();
        }
        throwIfCancelled(cancel_);
        get.readBody(readChunk, [&](std::string_view chunk) {
            append(chunk);
            report(retrier);
            throwIfCancelled(cancel_);
        });
        if (announced_ != 0 && received_ < announced_) {
            throwInterrupted(); // a part shorter than the rest: the next attempt goes on from here
        }
    }

    // Closes the file; fails when it is empty or does not match the checksum.
    void finish(const std::string& checksum) {
        file_.close();
        if (!file_) {
            throw std::runtime_error("Unable to write the downloaded package.");
        }
        if (received_ == 0) {
            throw std::runtime_error("The downloaded package is empty.");
        }
        if (hash_ && hash_->finishHex() != checksum) {
            throw std::runtime_error("The downloaded package of " + component_.name +
                                     " is damaged. Try again later.");
        }
    }

private:
    // A whole body begins: an empty file, a new hash, and this response's size and validator.
    void startOver(const HttpsGet& get) {
        announced_ = get.contentLength().value_or(0);
        if (announced_ > largestPackageBytes) {
            refuseTooLarge();
        }
        // Emptied first: the space of an earlier partial body counts as free.
        file_.close();
        file_.open(archive_, std::ios::binary | std::ios::trunc);
        if (!file_) {
            throw std::runtime_error("Unable to create the temporary package file.");
        }
        received_ = 0;
        // Room for the archive and, until its directory tells better, as much again unpacked.
        requireDiskSpace(archive_.parent_path(), 2 * announced_, component_.name);
        // A weak ETag may not name a range (If-Range compares strongly): Last-Modified then.
        validator_ = get.header(HttpsGet::Header::ETag);
        if (validator_.empty() || validator_.starts_with("W/")) {
            validator_ = get.header(HttpsGet::Header::LastModified);
        }
        if (hashed_) {
            hash_.emplace();
        }
    }

    void append(std::string_view chunk) {
        received_ += chunk.size();
        // The first response's size holds for the resumed parts too.
        if (received_ > largestPackageBytes || (announced_ != 0 && received_ > announced_)) {
            refuseTooLarge();
        }
        if (!file_.write(chunk.data(), static_cast<std::streamsize>(chunk.size()))) {
            throw std::runtime_error("Unable to write the downloaded package.");
        }
        if (hash_) {
            hash_->add(chunk);
        }
    }

    void report(DownloadRetrier& retrier) {
        const double fraction =
            announced_ == 0
                ? -1.0
                : std::min(downloadShare, static_cast<double>(received_) * downloadShare /
                                              static_cast<double>(announced_));
        const TransferFigures figures =
            meter_.measure(static_cast<std::int64_t>(received_),
                           announced_ == 0 ? -1 : static_cast<std::int64_t>(announced_),
                           TransferMeter::Clock::now());
        if (reports_.progress) {
            reports_.progress(fraction, "Downloading package");
        }
        if (reports_.transfer) {
            reports_.transfer(figures);
        }
        retrier.shown(fraction, figures);
    }

    const CatalogComponent& component_;
    const std::filesystem::path& archive_;
    const PackageReports& reports_;
    const std::atomic<bool>& cancel_;
    const bool hashed_;
    std::ofstream file_;
    std::optional<ConcurrentSha256> hash_;
    std::uint64_t received_ = 0;
    std::uint64_t announced_ = 0; // 0 when unknown
    std::string validator_;       // empty when the server gave none
    TransferMeter meter_;
};

void download(const CatalogComponent& component, const std::filesystem::path& archive,
              const PackageReports& reports, const std::atomic<bool>& cancel) {
    DownloadRetrier retrier(reports.progress, reports.transfer, cancel);
    const std::string checksum = fetchPublishedChecksum(component, retrier, cancel);
    if (checksum.empty() && reports.log) {
        reports.log("no checksum published at " + checksumRequestUrl(component) +
                    ": the package goes unchecked");
    }
    ArchiveTransfer transfer(component, archive, reports, cancel, !checksum.empty());
    retrier.run([&] { transfer.attempt(retrier); });
    transfer.finish(checksum);
}

} // namespace

HttpsGetOptions packageRequest(const CatalogComponent& component, std::uint32_t stall,
                               std::wstring headers) {
    return HttpsGetOptions{
        .timeouts = {resolveTimeout, networkTimeout, networkTimeout, static_cast<int>(stall)},
        .extraHeaders = std::move(headers),
        .failures = {.invalidUrl = "The package URL is not a valid HTTPS address.",
                     .initialize = "Unable to initialize the package download",
                     .connect = "Unable to connect to the package server",
                     .request = "Unable to download " + component.name,
                     .read = "The package download was interrupted"}};
}

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
    return withVersionQuery(component.downloadUrl, component.version);
}

std::string checksumRequestUrl(const CatalogComponent& component) {
    std::string url = component.downloadUrl;
    url.insert(std::min(url.find('?'), url.size()), ".sha256");
    return withVersionQuery(url, component.version);
}

void downloadPackage(const CatalogComponent& component, const std::filesystem::path& archive,
                     const PackageReports& reports, const std::atomic<bool>& cancel) {
    try {
        download(component, archive, reports, cancel);
    } catch (const std::exception&) {
        // A raised flag closes the request, which makes the pending call fail: that failure
        // is the cancel.
        if (cancel) {
            throw OperationCancelled();
        }
        throw;
    }
    if (reports.transfer) {
        reports.transfer({});
    }
}

} // namespace hub

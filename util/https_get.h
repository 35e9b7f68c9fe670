#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace hub {

// A failed WinHTTP call: the caller's text, ": " and the error's text (windowsErrorText), with
// the error code kept, so that a dropped connection can be told from a refusal.
class HttpsError : public std::runtime_error {
public:
    HttpsError(std::string_view message, std::uint32_t code);
    [[nodiscard]] std::uint32_t code() const noexcept { return code_; }

private:
    std::uint32_t code_;
};

// Closes a WinHTTP handle (session, connection or request).
struct WinHttpCloser {
    void operator()(void* handle) const noexcept;
};
using WinHttpHandle = std::unique_ptr<void, WinHttpCloser>;

// Milliseconds allowed for each phase of a request (WinHttpSetTimeouts).
struct HttpsTimeouts {
    int resolve = 0;
    int connect = 0;
    int send = 0;
    int receive = 0;
};

// What the caller calls each failure, so that every use reports in its own words. All but
// invalidUrl become HttpsError(text, code of the failed call): text, ": " and the error's text.
struct HttpsFailureTexts {
    std::string invalidUrl; // the URL cannot be cracked or is not https; thrown as it is
    std::string initialize; // opening the session or setting the time-outs failed
    std::string connect;    // connecting to the host failed
    std::string request;    // opening, sending or receiving the request failed
    std::string read;       // reading the body failed
};

struct HttpsGetOptions {
    HttpsTimeouts timeouts;
    std::wstring extraHeaders; // header lines, each ended by CR LF; empty for none
    HttpsFailureTexts failures;
};

// One HTTPS GET with the user agent "Orvantis Hub" and WinHTTP's automatic proxy, bypassing
// caches (flags secure and refresh). The constructor cracks the URL, refusing anything but an
// https URL before any network work, then connects, sends the request and receives the
// response headers. The object owns the session, connection and request handles; the caller
// judges the status and the length, then reads the body:
//
//     HttpsGet get{url, options};
//     if (!HttpsGet::isSuccess(get.statusCode())) { ...refuse... }
//     get.readBody(65536, [&](std::string_view chunk) { ...store, report, cancel by throwing... });
//
// The request path is the URL's path and query, or "/" when both are empty.
//
// With a cancel flag, a watcher closes the request as soon as the flag is raised, which ends a
// request that waits for a stalled server at once: the pending call then fails, and the caller,
// seeing its flag, reports the cancel rather than that failure.
class RequestCancelWatch;

class HttpsGet {
public:
    HttpsGet(std::string_view url, const HttpsGetOptions& options,
             const std::atomic<bool>* cancel = nullptr);
    ~HttpsGet();
    HttpsGet(const HttpsGet&) = delete;
    HttpsGet& operator=(const HttpsGet&) = delete;

    // Whether a status code is one of success (2xx).
    [[nodiscard]] static bool isSuccess(std::uint32_t status) noexcept {
        return status >= 200 && status <= 299;
    }

    // The response's status code; 0 when the response carries none.
    [[nodiscard]] std::uint32_t statusCode() const noexcept;

    // The Content-Length header as a number; empty when the header is missing or is not a
    // decimal number.
    [[nodiscard]] std::optional<std::uint64_t> contentLength() const;

    // A response header's value; empty when the response has none.
    enum class Header { ETag, LastModified, ContentRange };
    [[nodiscard]] std::string header(Header which) const;

    // Reads the body in chunks of up to chunkSize bytes until the server ends it, handing every
    // non-empty chunk to onChunk. An exception from onChunk ends the reading and propagates.
    // A body that ends before its Content-Length is a failed read (ERROR_WINHTTP_CONNECTION_ERROR).
    void readBody(std::size_t chunkSize, const std::function<void(std::string_view)>& onChunk);

private:
    WinHttpHandle session_;
    WinHttpHandle connection_;
    WinHttpHandle request_;
    std::string readFailure_;
    std::unique_ptr<RequestCancelWatch> cancelWatch_; // ended before the handles are closed
};

} // namespace hub

#include "util/https_get.h"

#include "util/text.h"
#include "util/unique_handle.h"
#include "util/windows_error.h"

#include <windows.h>

#include <winhttp.h>

#include <charconv>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

namespace hub {

namespace {

struct CrackedUrl {
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;
};

// A part of a cracked URL; absent parts may come without a pointer.
std::wstring component(const wchar_t* text, DWORD length) {
    return length == 0 ? std::wstring{} : std::wstring(text, length);
}

std::optional<CrackedUrl> crackHttpsUrl(std::string_view url) {
    std::wstring wide;
    try {
        wide = toWide(url);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts) ||
        parts.nScheme != INTERNET_SCHEME_HTTPS || parts.dwHostNameLength == 0) {
        return std::nullopt;
    }
    CrackedUrl cracked{.host = component(parts.lpszHostName, parts.dwHostNameLength),
                       .port = parts.nPort,
                       .path = component(parts.lpszUrlPath, parts.dwUrlPathLength) +
                               component(parts.lpszExtraInfo, parts.dwExtraInfoLength)};
    if (cracked.path.empty()) {
        cracked.path = L"/";
    }
    return cracked;
}

// Fails with HttpsError(failure, last error) unless the call succeeded.
template <typename Result> Result succeeded(Result result, const std::string& failure) {
    if (!result) {
        throw HttpsError(failure, GetLastError());
    }
    return result;
}

} // namespace

// Closes the request from its own thread when the cancel flag is raised, looking every 50 ms;
// the owner then gives up its claim on the closed handle.
class RequestCancelWatch {
public:
    RequestCancelWatch(WinHttpHandle& request, const std::atomic<bool>& cancel)
        : request_(request), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        if (!stop_) {
            throw std::bad_alloc();
        }
        thread_ = std::thread([this, &cancel, handle = request.get()] {
            constexpr DWORD slice = 50;
            while (WaitForSingleObject(stop_.get(), slice) == WAIT_TIMEOUT) {
                if (cancel.load()) {
                    WinHttpCloseHandle(handle);
                    closed_ = true;
                    return;
                }
            }
        });
    }
    ~RequestCancelWatch() {
        SetEvent(stop_.get());
        thread_.join();
        if (closed_) {
            static_cast<void>(request_.release());
        }
    }
    RequestCancelWatch(const RequestCancelWatch&) = delete;
    RequestCancelWatch& operator=(const RequestCancelWatch&) = delete;

private:
    WinHttpHandle& request_;
    UniqueHandle stop_;
    std::thread thread_;
    bool closed_ = false; // written by the thread, read after joining it
};

HttpsError::HttpsError(std::string_view message, std::uint32_t code)
    : std::runtime_error(windowsError(message, code).what()), code_(code) {}

void WinHttpCloser::operator()(void* handle) const noexcept {
    WinHttpCloseHandle(handle);
}

HttpsGet::HttpsGet(std::string_view url, const HttpsGetOptions& options,
                   const std::atomic<bool>* cancel)
    : readFailure_(options.failures.read) {
    const HttpsFailureTexts& failures = options.failures;
    const std::optional<CrackedUrl> target = crackHttpsUrl(url);
    if (!target) {
        throw std::runtime_error(failures.invalidUrl);
    }
    session_.reset(succeeded(WinHttpOpen(L"Orvantis Hub", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                         WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0),
                             failures.initialize));
    const HttpsTimeouts& timeouts = options.timeouts;
    succeeded(WinHttpSetTimeouts(session_.get(), timeouts.resolve, timeouts.connect, timeouts.send,
                                 timeouts.receive),
              failures.initialize);
    // Waiting for the response headers is bounded by the receive time-out too (Wine's own
    // default for that wait is unlimited).
    DWORD headersTimeout = static_cast<DWORD>(timeouts.receive);
    succeeded(WinHttpSetOption(session_.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT,
                               &headersTimeout, sizeof(headersTimeout)),
              failures.initialize);
    connection_.reset(succeeded(
        WinHttpConnect(session_.get(), target->host.c_str(), target->port, 0), failures.connect));
    request_.reset(
        succeeded(WinHttpOpenRequest(connection_.get(), L"GET", target->path.c_str(), nullptr,
                                     WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                     WINHTTP_FLAG_SECURE | WINHTTP_FLAG_REFRESH),
                  failures.request));
    if (cancel != nullptr) {
        cancelWatch_ = std::make_unique<RequestCancelWatch>(request_, *cancel);
    }
    const std::wstring& headers = options.extraHeaders;
    succeeded(WinHttpSendRequest(
                  request_.get(), headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                  static_cast<DWORD>(headers.size()), WINHTTP_NO_REQUEST_DATA, 0, 0, 0),
              failures.request);
    succeeded(WinHttpReceiveResponse(request_.get(), nullptr), failures.request);
}

HttpsGet::~HttpsGet() = default;

std::uint32_t HttpsGet::statusCode() const noexcept {
    DWORD code = 0;
    DWORD size = sizeof(code);
    if (!WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX)) {
        return 0;
    }
    return code;
}

std::string HttpsGet::header(Header which) const {
    const DWORD query = which == Header::ETag           ? WINHTTP_QUERY_ETAG
                        : which == Header::LastModified ? WINHTTP_QUERY_LAST_MODIFIED
                                                        : WINHTTP_QUERY_CONTENT_RANGE;
    wchar_t text[256] = {};
    DWORD size = sizeof(text);
    if (!WinHttpQueryHeaders(request_.get(), query, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return {}; // missing, or longer than any validator a server sends in earnest
    }
    try {
        return toUtf8(std::wstring_view(text, size / sizeof(wchar_t)));
    } catch (const std::exception&) {
        return {}; // not text: no usable value
    }
}

std::optional<std::uint64_t> HttpsGet::contentLength() const {
    wchar_t text[32] = {};
    DWORD size = sizeof(text);
    if (!WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_CONTENT_LENGTH,
                             WINHTTP_HEADER_NAME_BY_INDEX, text, &size, WINHTTP_NO_HEADER_INDEX)) {
        return std::nullopt;
    }
    const std::string digits = toUtf8(std::wstring_view(text, size / sizeof(wchar_t)));
    std::uint64_t length = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), length);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return length;
}

void HttpsGet::readBody(std::size_t chunkSize,
                        const std::function<void(std::string_view)>& onChunk) {
    const std::optional<std::uint64_t> announced = contentLength();
    std::uint64_t total = 0;
    std::vector<char> buffer(chunkSize);
    while (true) {
        DWORD received = 0;
        if (!WinHttpReadData(request_.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                             &received)) {
            throw HttpsError(readFailure_, GetLastError());
        }
        if (received == 0) {
            break;
        }
        total += received;
        onChunk(std::string_view(buffer.data(), received));
    }
    // A connection that closes before the announced length is a failed read, not the end
    // (Wine's WinHTTP reports it as the end).
    if (announced && total < *announced) {
        throw HttpsError(readFailure_, ERROR_WINHTTP_CONNECTION_ERROR);
    }
}

} // namespace hub

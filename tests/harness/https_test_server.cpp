#include "harness/https_test_server.h"

#include "util/https_get.h"
#include "util/text.h"
#include "util/windows_error.h"

#include <windows.h>

#include <winhttp.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <stdexcept>

namespace hub::test {

namespace {

INTERNET_PORT harnessPort(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') {
        throw std::runtime_error(std::string{variable} +
                                 " is not set: the local HTTPS test server runs only when the "
                                 "tests are started through tests/harness/wine-run.sh");
    }
    return static_cast<INTERNET_PORT>(std::stoi(value));
}

void require(BOOL done, std::string_view what) {
    if (!done) {
        throw windowsError("HTTPS test server control: " + std::string{what}, GetLastError());
    }
}

// One plain HTTP request to the server's control port on 127.0.0.1; fails unless it is 2xx.
std::string control(const wchar_t* verb, const std::string& target, std::string_view body = {}) {
    const WinHttpHandle session{WinHttpOpen(L"Orvantis Hub tests", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                            WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0)};
    require(session != nullptr, "open");
    const WinHttpHandle connection{
        WinHttpConnect(session.get(), L"127.0.0.1", harnessPort("HUB_TEST_HTTPS_CONTROL_PORT"), 0)};
    require(connection != nullptr, "connect");
    const WinHttpHandle request{WinHttpOpenRequest(connection.get(), verb, toWide(target).c_str(),
                                                   nullptr, WINHTTP_NO_REFERER,
                                                   WINHTTP_DEFAULT_ACCEPT_TYPES, 0)};
    require(request != nullptr, "request");
    const auto size = static_cast<DWORD>(body.size());
    require(WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                               const_cast<char*>(body.data()), size, size, 0),
            "send");
    require(WinHttpReceiveResponse(request.get(), nullptr), "receive");
    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    require(WinHttpQueryHeaders(
                request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX),
            "status");
    std::string reply;
    char buffer[4096];
    DWORD received = 0;
    do {
        require(WinHttpReadData(request.get(), buffer, sizeof(buffer), &received), "read");
        reply.append(buffer, received);
    } while (received != 0);
    if (status < 200 || status > 299) {
        throw std::runtime_error("HTTPS test server control: HTTP " + std::to_string(status) +
                                 " for " + target + ": " + reply);
    }
    return reply;
}

std::string queryEncoded(std::string_view text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
            byte == '/') {
            encoded += c;
        } else {
            encoded += {'%', hex[byte >> 4], hex[byte & 15]};
        }
    }
    return encoded;
}

// The host's name for a file of the prefix, which the server (a host program) opens.
std::string unixFileName(const std::filesystem::path& file) {
    using WineUnixFileName = char*(__cdecl*)(const wchar_t*);
    const auto convert = reinterpret_cast<WineUnixFileName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == nullptr) {
        throw std::runtime_error("file answers of the HTTPS test server need Wine");
    }
    char* name = convert(std::filesystem::absolute(file).c_str());
    if (name == nullptr) {
        throw std::runtime_error("no host name for " + file.string());
    }
    std::string result{name};
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

std::string answerQuery(std::string_view path, const ScriptedAnswer& answer) {
    std::string query = "path=" + queryEncoded(path) + "&status=" + std::to_string(answer.status) +
                        "&delay=" + std::to_string(answer.delayMs) + "&length=";
    if (answer.omitLength) {
        query += "missing";
    } else if (answer.declaredLength) {
        query += std::to_string(*answer.declaredLength);
    } else {
        query += "actual";
    }
    if (answer.cutAfter) {
        query +=
            "&cut=" + std::to_string(*answer.cutAfter) + "&stall=" + std::to_string(answer.stallMs);
    }
    if (answer.faults) {
        query += "&faults=" + std::to_string(*answer.faults);
    }
    std::string etags;
    for (const std::string& etag : answer.etags) {
        etags += (etags.empty() ? "" : ",") + etag;
    }
    if (!etags.empty()) {
        query += "&etag=" + queryEncoded(etags);
    }
    if (!answer.lastModified.empty()) {
        query += "&modified=" + queryEncoded(answer.lastModified);
    }
    query += std::string(answer.ranges ? "&ranges=1" : "") + (answer.sidecar ? "&sidecar=1" : "");
    if (answer.generatedSize) {
        query += "&generate=" + std::to_string(*answer.generatedSize);
    }
    if (!answer.file.empty()) {
        query += "&file=" + queryEncoded(unixFileName(answer.file));
    }
    return query;
}

} // namespace

HttpsTestServer::HttpsTestServer() : session_(control(L"POST", "/sessions")) {}

HttpsTestServer::~HttpsTestServer() {
    try {
        control(L"DELETE", "/sessions/" + session_);
    } catch (const std::exception&) {
        // The server ends with the test run; a session it forgot costs nothing.
    }
}

std::string HttpsTestServer::url(std::string_view path) const {
    return "https://localhost:" + std::to_string(harnessPort("HUB_TEST_HTTPS_PORT")) + "/t/" +
           session_ + std::string{path};
}

void HttpsTestServer::answer(std::string_view path, const ScriptedAnswer& answer) {
    control(L"PUT", "/sessions/" + session_ + "/answers?" + answerQuery(path, answer), answer.body);
}

std::vector<ReceivedRequest> HttpsTestServer::requests() const {
    const nlohmann::json list =
        nlohmann::json::parse(control(L"GET", "/sessions/" + session_ + "/requests"));
    std::vector<ReceivedRequest> result;
    for (const nlohmann::json& entry : list) {
        result.push_back({entry.at("target").get<std::string>(),
                          entry.at("headers").get<std::map<std::string, std::string>>()});
    }
    return result;
}

char HttpsTestServer::patternByte(std::uint64_t index) noexcept {
    return static_cast<char>(index % 251);
}

} // namespace hub::test

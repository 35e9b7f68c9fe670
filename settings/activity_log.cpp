#include "settings/activity_log.h"

#include "util/unique_handle.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace hub {

namespace {

std::string timestamp() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u:%02u  ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    return buffer;
}

} // namespace

ActivityLog::ActivityLog(std::filesystem::path file) : file_(std::move(file)) {}

void ActivityLog::write(std::string_view message) noexcept {
    try {
        const std::lock_guard lock(mutex_);
        rotateWhenFull();
        append(message);
    } catch (...) {
        // Logging is best effort: the line is lost.
    }
}

void ActivityLog::rotateWhenFull() const {
    std::error_code error;
    const auto size = std::filesystem::file_size(file_, error);
    if (!error && size > rotationSize) {
        const auto previous = file_.parent_path() / L"hub.previous.log";
        MoveFileExW(file_.c_str(), previous.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
    }
}

void ActivityLog::append(std::string_view message) const {
    const UniqueHandle file{CreateFileW(file_.c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file) {
        return;
    }
    std::string line = timestamp();
    line.append(message);
    line.append("\r\n");
    DWORD written = 0;
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

} // namespace hub

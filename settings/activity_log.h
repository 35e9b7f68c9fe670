#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string_view>

namespace hub {

// The hub's diary: one time-stamped line per event, appended to the log file with CR LF.
// Above 1 MiB the file becomes "hub.previous.log" before the next line. Thread-safe; every
// line opens, appends and closes the file, so nothing stays buffered. Writing never fails
// for the caller: a line that cannot be written is lost.
class ActivityLog {
public:
    explicit ActivityLog(std::filesystem::path file);

    void write(std::string_view message) noexcept;

    static constexpr std::uintmax_t rotationSize = 1'048'576;

private:
    void rotateWhenFull() const;
    void append(std::string_view message) const;

    std::filesystem::path file_;
    std::mutex mutex_;
};

} // namespace hub

#pragma once

#include <cstdint>
#include <string>

namespace hub {

// The self-updater's state as the interface shows it.
struct UpdateStatus {
    std::string state =
        "disabled";             // disabled, checking, upToDate, downloading, ready, applying, error
    std::string version;        // the release being downloaded, ready or applied
    std::uint32_t progress = 0; // 0 to 100
    std::string message;        // text for the user, may be empty

    bool operator==(const UpdateStatus&) const = default;
};

} // namespace hub

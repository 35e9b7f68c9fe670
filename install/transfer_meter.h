#pragma once

#include "install/progress_callback.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <utility>

namespace hub {

// Turns the bytes of a download, seen at moments, into the figures a person reads: the speed
// over the last 3 seconds and the time left at that speed. A count that goes down (the download
// started over) forgets the samples before it.
class TransferMeter {
public:
    using Clock = std::chrono::steady_clock;

    // done bytes of total (-1 while unknown) at the moment now.
    TransferFigures measure(std::int64_t done, std::int64_t total, Clock::time_point now);

private:
    std::deque<std::pair<Clock::time_point, std::int64_t>> samples_; // oldest first
};

} // namespace hub

#include "install/transfer_meter.h"

namespace hub {

namespace {

using namespace std::chrono_literals;

constexpr auto window = 3s;
// Samples closer together add nothing to a 3-second average; a speed over less time than the
// shortest span would jump with every chunk.
constexpr auto sampleSpacing = 50ms;
constexpr auto shortestSpan = 250ms;

} // namespace

TransferFigures TransferMeter::measure(std::int64_t done, std::int64_t total,
                                       Clock::time_point now) {
    if (!samples_.empty() && done < samples_.back().second) {
        samples_.clear();
    }
    while (!samples_.empty() && now - samples_.front().first > window) {
        samples_.pop_front();
    }
    if (samples_.empty() || now - samples_.back().first >= sampleSpacing) {
        samples_.emplace_back(now, done);
    }
    TransferFigures figures{.bytesDone = done, .bytesTotal = total};
    const auto span = now - samples_.front().first;
    if (span >= shortestSpan) {
        const double seconds = std::chrono::duration<double>(span).count();
        figures.bytesPerSecond = static_cast<std::int64_t>(
            static_cast<double>(done - samples_.front().second) / seconds);
    }
    if (total >= done && figures.bytesPerSecond > 0) {
        figures.secondsLeft = (total - done + figures.bytesPerSecond - 1) / figures.bytesPerSecond;
    }
    return figures;
}

} // namespace hub

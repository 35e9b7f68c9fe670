#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace hub {

// Receives an operation's progress: a fraction from 0.0 to 1.0, or a negative value (-1.0)
// for an indeterminate bar, and a UTF-8 text. An empty callback reports nothing.
using ProgressCallback = std::function<void(double fraction, const std::string& message)>;

// The byte figures of a running download, for a person to read: the bytes in the file so far,
// the whole size (-1 while unknown), the speed averaged over the last 3 seconds and the seconds
// left at that speed (-1 while unknown). The default value is the idle one, reported again when
// the download ends.
struct TransferFigures {
    std::int64_t bytesDone = 0;
    std::int64_t bytesTotal = -1;
    std::int64_t bytesPerSecond = 0;
    std::int64_t secondsLeft = -1;

    friend bool operator==(const TransferFigures&, const TransferFigures&) = default;
};

// Receives a download's byte figures; an empty callback reports nothing.
using TransferCallback = std::function<void(const TransferFigures& figures)>;

} // namespace hub

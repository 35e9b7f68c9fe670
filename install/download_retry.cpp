#include "install/download_retry.h"

#include "install/operation_cancelled.h"

#include <winsock2.h>

#include <windows.h>

#include <winhttp.h>

#include <algorithm>
#include <mutex>
#include <string>

namespace hub {

namespace {

constexpr DWORD cancelSlice = 50;

std::mutex timingMutex;
DownloadTiming timing; // timingMutex

DownloadTiming currentTiming() {
    const std::lock_guard lock(timingMutex);
    return timing;
}

} // namespace

void setDownloadTimingForTesting(const DownloadTiming& newTiming) {
    const std::lock_guard lock(timingMutex);
    timing = newTiming;
}

bool isTransientNetworkError(std::uint32_t code) noexcept {
    switch (code) {
    // Some WinHTTP builds (Wine's) pass the socket's own time-out or reset on.
    case WSAETIMEDOUT:
    case WSAECONNRESET:
    case ERROR_WINHTTP_TIMEOUT:
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_CONNECTION_ERROR:
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return true;
    default:
        return false;
    }
}

DownloadRetrier::DownloadRetrier(const ProgressCallback& progress, const TransferCallback& transfer,
                                 const std::atomic<bool>& cancel)
    : progress_(progress), transfer_(transfer), cancel_(cancel), timing_(currentTiming()) {}

void DownloadRetrier::pause(std::size_t retry) {
    const auto& pauses = timing_.retryPausesMilliseconds;
    const DWORD milliseconds = pauses[retry];
    if (progress_) {
        progress_(fraction_, "Connection lost. Retrying in " +
                                 std::to_string((milliseconds + 999) / 1000) + " s (attempt " +
                                 std::to_string(retry + 1) + " of " +
                                 std::to_string(pauses.size()) + ")\xE2\x80\xA6");
    }
    if (transfer_) {
        transfer_({.bytesDone = figures_.bytesDone, .bytesTotal = figures_.bytesTotal});
    }
    for (DWORD waited = 0; waited < milliseconds; waited += cancelSlice) {
        throwIfCancelled(cancel_);
        Sleep(std::min(cancelSlice, milliseconds - waited));
    }
    throwIfCancelled(cancel_);
}

} // namespace hub

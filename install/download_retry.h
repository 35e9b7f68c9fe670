#pragma once

#include "install/progress_callback.h"
#include "util/https_get.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace hub {

// How long a download waits: for the next byte before it counts the connection as stalled (the
// receive time-out), and before each new attempt.
struct DownloadTiming {
    std::uint32_t stallMilliseconds = 30'000;
    std::array<std::uint32_t, 5> retryPausesMilliseconds = {1'000, 2'000, 4'000, 8'000, 16'000};
};

// For tests only: other waits, so that stalls and retries take moments. The program never calls
// it; the default value restores the real waits.
void setDownloadTimingForTesting(const DownloadTiming& timing);

// Whether another attempt may succeed after this WinHTTP failure: the connection could not be
// made, failed, dropped or stalled, or the answer broke off.
bool isTransientNetworkError(std::uint32_t code) noexcept;

// Runs a step of a download, and again after each transient HttpsError, once after each pause
// of the timing (taken when the retrier is made). During a pause the step message says so
// ("Connection lost. Retrying in 4 s (attempt 3 of 5)…") with the fraction last shown, and the
// byte figures lose their speed; the cancel flag ends a pause within 50 ms (OperationCancelled).
// The last attempt's failure, any other failure, and any failure once the flag is raised pass on.
class DownloadRetrier {
public:
    DownloadRetrier(const ProgressCallback& progress, const TransferCallback& transfer,
                    const std::atomic<bool>& cancel);

    [[nodiscard]] std::uint32_t stallMilliseconds() const noexcept {
        return timing_.stallMilliseconds;
    }

    // What the download showed last, for the pauses.
    void shown(double fraction, const TransferFigures& figures) noexcept {
        fraction_ = fraction;
        figures_ = figures;
    }

    template <typename Step> auto run(const Step& step) {
        const auto& pauses = timing_.retryPausesMilliseconds;
        for (std::size_t retry = 0;; ++retry) {
            try {
                return step();
            } catch (const HttpsError& failure) {
                if (cancel_ || !isTransientNetworkError(failure.code()) || retry == pauses.size()) {
                    throw;
                }
            }
            pause(retry);
        }
    }

private:
    void pause(std::size_t retry);

    const ProgressCallback& progress_;
    const TransferCallback& transfer_;
    const std::atomic<bool>& cancel_;
    const DownloadTiming timing_;
    double fraction_ = -1.0;
    TransferFigures figures_;
};

} // namespace hub

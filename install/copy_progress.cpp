#include "install/copy_progress.h"

#include <chrono>

namespace hub {

namespace {

std::int64_t monotonicNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

void CopyProgress::report(std::uint64_t extraBytes, bool forced) {
    if (!progress) {
        return;
    }
    constexpr double minimumStep = 0.004;
    constexpr std::int64_t minimumPause = 120'000'000;
    const double fraction = totalBytes == 0 ? 1.0
                                            : static_cast<double>(copiedBytes + extraBytes) /
                                                  static_cast<double>(totalBytes);
    const std::int64_t now = monotonicNanoseconds();
    if (forced || fraction - lastFraction >= minimumStep || now - lastReportTime >= minimumPause) {
        lastFraction = fraction;
        lastReportTime = now;
        progress(fraction, "Copying files");
    }
}

DWORD CALLBACK copyProgressRoutine(LARGE_INTEGER, LARGE_INTEGER totalBytesTransferred,
                                   LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE,
                                   LPVOID data) {
    auto& state = *static_cast<CopyProgress*>(data);
    if (state.cancel.load() || state.callbackFailure) {
        return PROGRESS_CANCEL;
    }
    try {
        state.report(static_cast<std::uint64_t>(totalBytesTransferred.QuadPart), false);
    } catch (...) {
        state.callbackFailure = std::current_exception();
        return PROGRESS_CANCEL;
    }
    return PROGRESS_CONTINUE;
}

} // namespace hub

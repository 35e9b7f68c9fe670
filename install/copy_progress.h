#pragma once

#include "install/progress_callback.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <exception>

namespace hub {

// Byte-based progress of copying a tree, throttled so that many small files do not flood the
// interface: a report goes out when forced, when the fraction grew by at least 0.004, or when
// 120 ms passed since the last one. Text: "Copying files".
struct CopyProgress {
    CopyProgress(const ProgressCallback& progressCallback, const std::atomic<bool>& cancelFlag,
                 std::uint64_t total) noexcept
        : totalBytes(total), progress(progressCallback), cancel(cancelFlag) {}

    // Reports copiedBytes + extraBytes (the part of the file in flight) out of totalBytes;
    // an empty tree counts as complete.
    void report(std::uint64_t extraBytes, bool forced);

    std::uint64_t totalBytes;
    std::uint64_t copiedBytes = 0;
    const ProgressCallback& progress;
    const std::atomic<bool>& cancel;
    double lastFraction = -1.0;
    std::int64_t lastReportTime = 0; // nanoseconds of the monotonic clock
    // An exception thrown by the progress callback inside the system copy routine, kept to be
    // rethrown once the copy has returned (it must not cross the system's stack frames).
    std::exception_ptr callbackFailure;
};

// The progress routine given to CopyFileExW, with a CopyProgress as its data: cancels the copy
// (ERROR_REQUEST_ABORTED) when the cancel flag is set or the progress callback threw, else
// reports the bytes of this file copied so far and continues.
DWORD CALLBACK copyProgressRoutine(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                                   LARGE_INTEGER streamSize, LARGE_INTEGER streamBytesTransferred,
                                   DWORD streamNumber, DWORD callbackReason, HANDLE sourceFile,
                                   HANDLE destinationFile, LPVOID data);

} // namespace hub

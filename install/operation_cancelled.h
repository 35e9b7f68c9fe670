#pragma once

#include <atomic>
#include <exception>

namespace hub {

// Ends an operation whose cancel flag was raised. Callers treat it as "cancelled", not as a
// failure, so it carries nothing but its fixed text.
struct OperationCancelled : std::exception {
    [[nodiscard]] const char* what() const noexcept override {
        return "The operation was cancelled.";
    }
};

// Throws OperationCancelled once the flag is raised.
inline void throwIfCancelled(const std::atomic<bool>& cancel) {
    if (cancel) {
        throw OperationCancelled();
    }
}

} // namespace hub

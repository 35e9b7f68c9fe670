#pragma once

#include <functional>
#include <string>

namespace hub {

// Receives an operation's progress: a fraction from 0.0 to 1.0, or a negative value (-1.0)
// for an indeterminate bar, and a UTF-8 text. An empty callback reports nothing.
using ProgressCallback = std::function<void(double fraction, const std::string& message)>;

} // namespace hub

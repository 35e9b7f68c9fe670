#pragma once

#include "controller/controller_impl.h"

#include <cstddef>
#include <string>

namespace hub {

// The plain-text report a user hands to support: the hub's and Windows' versions, every found
// installation with its Community folder, the target, each component's installed and available
// version, the last error and the end of the activity log. It stays on the machine: it goes to
// the clipboard, and the user decides where to paste it.
std::string supportReport(const ApplicationController::Impl& impl);

// Hands the report to the options' clipboard writer and sets the notice
// "Support report copied to the clipboard."; fails with the writer's message.
void copySupportReport(ApplicationController::Impl& impl);

inline constexpr std::size_t supportReportLogLines = 200;

} // namespace hub

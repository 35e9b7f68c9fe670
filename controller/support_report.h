#pragma once

#include "controller/controller_impl.h"

namespace hub {

// Hands the plain-text report a user gives to support to the options' clipboard writer and sets
// the notice "Support report copied to the clipboard."; fails with the writer's message. The
// report: the hub's and Windows' versions, every found installation with its Community folder,
// the custom folder, the target, each component's installed and available version, the error the
// interface shows (the last one, until a command succeeds or it is dismissed) and the last 200
// lines of the activity log. It stays on the machine: the user decides where to paste it.
void copySupportReport(ApplicationController::Impl& impl);

} // namespace hub

#pragma once

namespace hub {

// Lets the update framework act on its own command-line switches before the hub does
// anything else: it runs the install, update and uninstall hooks, which end the process,
// and finishes an update that is waiting. Call it first thing in the entry point. Does
// nothing when the framework's library is not beside the executable.
void runStartupHook() noexcept;

} // namespace hub

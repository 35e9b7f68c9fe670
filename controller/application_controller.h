#pragma once

#include "controller/controller_options.h"
#include "controller/folder_picker.h"
#include "settings/app_folders.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace hub {

// Owns every piece of the hub's state and all of its work. The window creates exactly one and
// drives it from the user-interface thread: each interface message goes to handleMessage, the
// window shows snapshot() after every message and after every tick (every 250 ms), and asks
// isBusy() before it closes. Background threads only write state under a lock; the next tick
// picks it up. The owner ends it with shutdown(); destruction does the same without a limit.
class ApplicationController {
public:
    ApplicationController(AppFolders folders, FolderPicker folderPicker);
    // The same with the surroundings replaced (tests and the headless test host).
    ApplicationController(AppFolders folders, FolderPicker folderPicker, ControllerOptions options);
    ~ApplicationController();
    ApplicationController(const ApplicationController&) = delete;
    ApplicationController& operator=(const ApplicationController&) = delete;

    // One interface message (UTF-8 JSON). Never throws: a failure becomes the snapshot's error.
    void handleMessage(std::string_view message);
    // The complete state as compact UTF-8 JSON.
    std::string snapshot() const;
    // The 250 ms heartbeat: completion, notice expiry, throttled refreshes, catalog results.
    void tick();
    bool isBusy() const;

    // Ends the hub's work: cancels a running operation and aborts the package-catalog request,
    // hands a downloaded update over for installation after exit, then waits up to the limit for
    // every thread the controller started (the update check, which cannot be aborted, included).
    // False when one still runs then: the caller should end the process; destroying the
    // controller instead waits for those threads without a limit.
    [[nodiscard]] bool shutdown(std::chrono::milliseconds limit);

    struct Impl;

private:
    std::unique_ptr<Impl> impl;
};

} // namespace hub

#pragma once

#include "app/app_folders.h"
#include "controller/controller_options.h"
#include "controller/folder_picker.h"

#include <memory>
#include <string>
#include <string_view>

namespace hub {

// Owns every piece of the hub's state and all of its work. The window creates exactly one and
// drives it from the user-interface thread: each interface message goes to handleMessage, the
// window shows snapshot() after every message and after every tick (every 250 ms), and asks
// isBusy() before it closes. Background threads only write state under a lock; the next tick
// picks it up. Destruction cancels a running operation and waits for every thread it started.
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

    struct Impl;

private:
    std::unique_ptr<Impl> impl;
};

} // namespace hub

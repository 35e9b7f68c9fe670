#include "app/application.h"
#include "app/single_instance.h"
#include "update/startup_hook.h"
#include "util/executable_folder.h"

#include <exception>

int main() {
    hub::runStartupHook();
    // Held until the process ends: a hub that is closing may still be moving folders.
    hub::SingleInstance instance;
    if (instance.anotherRunning() && !instance.waitForOthersToEnd()) {
        return 0;
    }
    std::filesystem::path folder;
    try {
        folder = hub::executableFolder();
        return hub::runApplication(hub::findResourceFolder(folder, L"ui"));
    } catch (const std::exception& error) {
        hub::reportStartupError(folder, error.what());
        return 1;
    }
}

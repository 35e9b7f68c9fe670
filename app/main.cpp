#include "app/application.h"
#include "app/single_instance.h"
#include "update/startup_hook.h"
#include "util/executable_folder.h"

#include <exception>

int main() {
    hub::runStartupHook();
    hub::SingleInstance instance;
    if (instance.anotherRunning()) {
        hub::bringRunningHubForward();
        return 0;
    }
    std::filesystem::path folder;
    try {
        folder = hub::executableFolder();
        return hub::runApplication(hub::findResourceFolder(folder, L"ui"),
                                   [&instance] { instance.release(); });
    } catch (const std::exception& error) {
        hub::reportStartupError(folder, error.what());
        return 1;
    }
}

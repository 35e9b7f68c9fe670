#include "update/startup_hook.h"

#include "update/velopack_library.h"

namespace hub {

void runStartupHook() noexcept {
    if (const VelopackLibrary* library = VelopackLibrary::besideExecutable()) {
        library->appRun(nullptr);
    }
}

} // namespace hub

#include "update/update_tool.h"

#include "util/paths.h"
#include "util/process_start.h"

namespace hub {

std::filesystem::path locateUpdateTool(const std::filesystem::path& programFolder) {
    const std::filesystem::path root = programFolder.parent_path();
    if (pathExists(root / ".portable") || !isRegularFile(programFolder / "sq.version")) {
        return {};
    }
    std::filesystem::path tool = root / "Update.exe";
    return isRegularFile(tool) ? tool : std::filesystem::path{};
}

void startUninstaller(const std::filesystem::path& updateTool) {
    startDetached(updateTool, L"uninstall");
}

} // namespace hub

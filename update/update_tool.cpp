#include "update/update_tool.h"

#include "install/processes.h"

#include <system_error>

namespace hub {

namespace {

bool isRegularFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

bool entryExists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

} // namespace

std::filesystem::path locateUpdateTool(const std::filesystem::path& programFolder) {
    const std::filesystem::path root = programFolder.parent_path();
    if (entryExists(root / ".portable") || !isRegularFile(programFolder / "sq.version")) {
        return {};
    }
    std::filesystem::path tool = root / "Update.exe";
    return isRegularFile(tool) ? tool : std::filesystem::path{};
}

void startUninstaller(const std::filesystem::path& updateTool) {
    startDetached(updateTool, L"uninstall");
}

} // namespace hub

#include "update/update_tool.h"

#include "util/paths.h"
#include "util/unique_handle.h"
#include "util/windows_error.h"

#include <windows.h>

#include <string>
#include <string_view>
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

// Starts the program with its folder as working folder and leaves it running.
void startDetached(const std::filesystem::path& program, std::wstring_view arguments) {
    std::wstring commandLine = L"\"" + program.native() + L"\"";
    if (!arguments.empty()) {
        commandLine.append(L" ").append(arguments);
    }
    const std::filesystem::path folder = program.parent_path();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_PROCESS_GROUP |
                            CREATE_DEFAULT_ERROR_MODE,
                        nullptr, folder.c_str(), &startup, &started)) {
        throw windowsError("Unable to start " + leafName(program), GetLastError());
    }
    // Nothing waits for the child: both handles are closed at once.
    const UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);
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

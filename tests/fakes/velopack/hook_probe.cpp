// Stands in for the hub's entry point in the start-up hook tests: it runs the update
// framework's start-up hook first, as the hub does, then notes in the file named by
// HUB_PROBE_RECORD that it went on, with its arguments, and exits with code 7. Given the
// single argument "locate-update-tool" it notes the update tool it finds from its own folder;
// given "update-status" it runs an update check and notes the status it ends in.

#include "update/startup_hook.h"
#include "update/updater.h"
#include "util/paths.h"
#include "util/text.h"

#include <windows.h>

#include <shellapi.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int wentOnExitCode = 7;

std::vector<std::wstring> arguments() {
    int count = 0;
    wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> result(list + 1, list + count);
    LocalFree(list);
    return result;
}

std::string updateStatusText() {
    const hub::Updater updater("https://localhost/downloads/orv-hub/");
    hub::UpdateStatus status = updater.getUpdateStatus();
    for (int waited = 0;
         (status.state == "checking" || status.state == "downloading") && waited < 10000;
         waited += 10) {
        Sleep(10);
        status = updater.getUpdateStatus();
    }
    return "update status: " + status.state + " \"" + status.message + "\"";
}

std::string recordText() {
    const std::vector<std::wstring> given = arguments();
    if (given == std::vector<std::wstring>{L"locate-update-tool"}) {
        return "update tool: " + hub::pathToUtf8(hub::Updater::locateUpdateTool());
    }
    if (given == std::vector<std::wstring>{L"update-status"}) {
        return updateStatusText();
    }
    std::string text = "went on";
    for (const std::wstring& argument : given) {
        text += ' ';
        text += hub::toUtf8(argument);
    }
    return text;
}

} // namespace

int main() {
    hub::runStartupHook();
    wchar_t file[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"HUB_PROBE_RECORD", file, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        std::ofstream(file, std::ios::binary | std::ios::app) << recordText() << '\n';
    }
    return wentOnExitCode;
}

// Stands in for the hub's entry point in the start-up hook tests: it runs the update
// framework's start-up hook first, as the hub does, then notes in the file named by
// HUB_PROBE_RECORD that it went on, with its arguments, and exits with code 7.

#include "update/startup_hook.h"

#include <windows.h>

#include <shellapi.h>

#include <fstream>
#include <string>

namespace {

constexpr int wentOnExitCode = 7;

std::string argumentsText() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::string text;
    for (int index = 1; index < count; ++index) {
        text += ' ';
        for (const wchar_t* character = arguments[index]; *character != L'\0'; ++character) {
            text += static_cast<char>(*character);
        }
    }
    LocalFree(arguments);
    return text;
}

} // namespace

int main() {
    hub::runStartupHook();
    wchar_t file[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"HUB_PROBE_RECORD", file, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        std::ofstream(file, std::ios::binary | std::ios::app)
            << "went on" << argumentsText() << '\n';
    }
    return wentOnExitCode;
}

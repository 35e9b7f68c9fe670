// A child process for the process tests. With HUB_CHILD_REPORT set it first writes its command
// line, its current folder and its environment to that file (UTF-16, one item a line). Then:
//   sleep <ms>   sleeps that long and exits with 0
//   exit <code>  exits with that code
//   anything else exits with 0
#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

void writeReport(const std::wstring& file) {
    std::wstring report = GetCommandLineW();
    report += L'\n';
    wchar_t folder[MAX_PATH];
    report.append(folder, GetCurrentDirectoryW(MAX_PATH, folder));
    report += L'\n';
    const wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* variable = block; *variable != L'\0';
         variable += std::wstring(variable).size() + 1) {
        report += variable;
        report += L'\n';
    }
    const HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(out, report.data(), static_cast<DWORD>(report.size() * sizeof(wchar_t)), &written,
              nullptr);
    CloseHandle(out);
}

} // namespace

int main() {
    wchar_t reportFile[MAX_PATH];
    if (GetEnvironmentVariableW(L"HUB_CHILD_REPORT", reportFile, MAX_PATH) > 0) {
        writeReport(reportFile);
    }
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count >= 3 && std::wstring(arguments[1]) == L"sleep") {
        Sleep(static_cast<DWORD>(std::stoul(arguments[2])));
    } else if (count >= 3 && std::wstring(arguments[1]) == L"exit") {
        return static_cast<int>(std::stoul(arguments[2]));
    }
    return 0;
}

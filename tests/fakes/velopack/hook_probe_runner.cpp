#include "hook_probe_runner.h"

#include "util/unique_handle.h"

namespace hub::test {

HookProbe::HookProbe(std::filesystem::path program, const std::filesystem::path& libraryFolder)
    : program_(std::move(program)),
      recordFile_(L"HUB_PROBE_RECORD", (program_.parent_path() / "record.txt").native()) {
    const auto folder = program_.parent_path();
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(testProgram(L"update-probe") / "update_hook_probe.exe", program_,
                               std::filesystem::copy_options::overwrite_existing);
    if (!libraryFolder.empty()) {
        std::filesystem::copy_file(libraryFolder / "velopack_libc.dll",
                                   folder / "velopack_libc.dll");
    }
}

DWORD HookProbe::run(const std::wstring& arguments) const {
    std::wstring commandLine = L"\"" + program_.native() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        program_.parent_path().c_str(), &startup, &started)) {
        throw std::runtime_error("the probe did not start");
    }
    const UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);
    DWORD exitCode = 0;
    if (WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.get(), &exitCode)) {
        throw std::runtime_error("the probe did not end");
    }
    return exitCode;
}

std::string HookProbe::record() const {
    const auto file = program_.parent_path() / "record.txt";
    return std::filesystem::exists(file) ? readFile(file) : std::string();
}

} // namespace hub::test

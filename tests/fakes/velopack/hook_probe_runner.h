#pragma once

#include "fake_velopack_script.h"

#include <windows.h>

#include <filesystem>
#include <string>

namespace hub::test {

// A program that starts as the hub does (see tests/fakes/velopack/hook_probe.cpp), copied to
// a path of the test's choice, with or without the update framework's library beside it. It
// notes in "record.txt" beside itself when it gets past the start-up hook.
class HookProbe {
public:
    // Copies the probe to program, and the library from libraryFolder when one is given.
    explicit HookProbe(std::filesystem::path program,
                       const std::filesystem::path& libraryFolder = {});

    // Runs the program with the arguments and returns its exit code.
    [[nodiscard]] DWORD run(const std::wstring& arguments) const;

    // What the program noted, empty when it never got past the hook.
    [[nodiscard]] std::string record() const;

    static constexpr DWORD wentOnExitCode = 7;

private:
    std::filesystem::path program_;
    ScopedVariable recordFile_;
};

} // namespace hub::test

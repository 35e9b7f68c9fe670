#pragma once

// Drives hub_headless_host.exe from a Windows program (the scenario tests, the benchmark):
// starts it with pipes on its standard input and output, sends message lines, reads snapshot
// lines.
#include "util/unique_handle.h"

#include <windows.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>

namespace hub::test {

class HostProcess {
public:
    HostProcess(const std::filesystem::path& program, const std::wstring& arguments) {
        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE read = nullptr;
        HANDLE write = nullptr;
        CreatePipe(&read, &write, &inheritable, 0);
        const UniqueHandle childInput(read);
        input_.reset(write);
        CreatePipe(&read, &write, &inheritable, 0);
        output_.reset(read);
        const UniqueHandle childOutput(write);
        SetHandleInformation(input_.get(), HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(output_.get(), HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childInput.get();
        startup.hStdOutput = childOutput.get();
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        std::wstring commandLine = L"\"" + program.native() + L"\" " + arguments;
        PROCESS_INFORMATION started{};
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS,
                            nullptr, nullptr, &startup, &started)) {
            throw std::runtime_error("unable to start the headless host");
        }
        process_.reset(started.hProcess);
        CloseHandle(started.hThread);
    }

    void send(const std::string& message) {
        const std::string line = message + "\n";
        DWORD written = 0;
        WriteFile(input_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }

    // The next snapshot line; empty once the host has closed its output.
    std::string readLine() {
        for (auto end = buffer_.find('\n'); end == std::string::npos; end = buffer_.find('\n')) {
            char chunk[65536];
            DWORD read = 0;
            if (!ReadFile(output_.get(), chunk, sizeof(chunk), &read, nullptr) || read == 0) {
                return std::exchange(buffer_, {});
            }
            buffer_.append(chunk, read);
        }
        const auto end = buffer_.find('\n');
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
    }

    // Ends the input, reads what is left and waits for the host's exit code.
    DWORD close() {
        input_.reset();
        while (!readLine().empty()) {
        }
        WaitForSingleObject(process_.get(), INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(process_.get(), &code);
        return code;
    }

    [[nodiscard]] HANDLE process() const noexcept { return process_.get(); }

private:
    UniqueHandle input_;
    UniqueHandle output_;
    UniqueHandle process_;
    std::string buffer_;
};

} // namespace hub::test

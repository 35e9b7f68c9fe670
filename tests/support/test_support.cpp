#include "support/test_support.h"

#include "install/processes.h"
#include "util/paths.h"
#include "util/text.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <stdexcept>

namespace hub::test {

ScopedVariable::ScopedVariable(std::wstring name, const std::wstring& value)
    : name_(std::move(name)) {
    std::wstring buffer(32768, L'\0');
    if (const DWORD length = GetEnvironmentVariableW(name_.c_str(), buffer.data(), 32768)) {
        saved_ = buffer.substr(0, length);
    }
    SetEnvironmentVariableW(name_.c_str(), value.c_str());
}

// Refused moves are retried at once.
MoveRecorder::MoveRecorder(Refusal refusal) : refusal_(std::move(refusal)) {
    setRenamePauseForTesting(0);
    setMoveInterceptorForTesting(
        [this](const std::filesystem::path& from, const std::filesystem::path& to) {
            moves.emplace_back(from, to);
            return refusal_ ? refusal_(from, to) : std::nullopt;
        });
}

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    do {
        path_ = std::filesystem::temp_directory_path() /
                (L"hub-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(counter++));
    } while (!std::filesystem::create_directories(path_));
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        throw std::runtime_error("cannot read " + pathToUtf8(file));
    }
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

void writeFile(const std::filesystem::path& file, std::string_view content) {
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    if (!stream.write(content.data(), static_cast<std::streamsize>(content.size())).flush()) {
        throw std::runtime_error("cannot write " + pathToUtf8(file));
    }
}

void makeTree(const std::filesystem::path& root, const FileTree& tree) {
    std::filesystem::create_directories(root);
    for (const auto& [relative, content] : tree) {
        const auto path = (root / toWide(relative)).lexically_normal();
        const bool folder = relative.ends_with('/') || relative.ends_with('\\');
        std::filesystem::create_directories(folder ? path : path.parent_path());
        if (!folder) {
            writeFile(path, content);
        }
    }
}

FileTree readTree(const std::filesystem::path& root) {
    FileTree tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const auto relative = pathToUtf8(entry.path().lexically_relative(root).generic_wstring());
        const bool folder = entry.is_directory();
        tree.emplace(folder ? relative + "/" : relative, folder ? "" : readFile(entry.path()));
    }
    return tree;
}

FileTree communityPackageArchive(const std::string& version, const FileTree& files) {
    const std::string folder = "orvantis-aircraft-velmora-weapons/";
    FileTree tree{{folder + "manifest.json", R"({"package_version": ")" + version + "\"}"}};
    for (const auto& [name, content] : files) {
        tree.emplace(folder + name, content);
    }
    return tree;
}

std::vector<std::string> logMessages(const std::filesystem::path& file) {
    constexpr std::size_t timestampLength = 21; // "YYYY-MM-DD hh:mm:ss  "
    std::vector<std::string> messages;
    std::ifstream stream(file, std::ios::binary);
    for (std::string line; std::getline(stream, line);) {
        if (line.ends_with('\r')) {
            line.pop_back();
        }
        messages.push_back(line.size() > timestampLength ? line.substr(timestampLength) : "");
    }
    return messages;
}

bool waitForProcessesNamed(std::wstring_view executableName) {
    return std::ranges::all_of(listProcesses(), [&](const ProcessEntry& process) {
        const UniqueHandle handle(process.executableName == executableName
                                      ? OpenProcess(SYNCHRONIZE, FALSE, process.processId)
                                      : nullptr);
        return !handle || WaitForSingleObject(handle.get(), 20000) == WAIT_OBJECT_0;
    });
}

HANDLE startHub(const std::filesystem::path& folder) {
    std::wstring command = L"\"" + (folder / L"OrvantisHub.exe").native() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION hub{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                       &startup, &hub)) {
        CloseHandle(hub.hThread);
    }
    return hub.hProcess;
}

HWND waitForWindow(HANDLE process, const wchar_t* className, const wchar_t* caption, DWORD step) {
    const ULONGLONG deadline = GetTickCount64() + 30000;
    do {
        for (HWND window = FindWindowExW(nullptr, nullptr, className, caption); window != nullptr;
             window = FindWindowExW(nullptr, window, className, caption)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == GetProcessId(process) && IsWindowVisible(window)) {
                return window;
            }
        }
    } while (step > 0 && GetTickCount64() < deadline &&
             WaitForSingleObject(process, step) == WAIT_TIMEOUT);
    return nullptr;
}

} // namespace hub::test

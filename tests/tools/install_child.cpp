// A child process for the crash tests: runs one installation or removal and kills itself at a
// chosen point, the way a crash or a killed process would end it (no unwinding, no cleanup).
//   hub_install_child install <source> <target> <kill point> [preserved path...]
//   hub_install_child remove <target> <kill point>
// Kill points: none; progress:N (at the N-th progress report); staged (when the staging folder
// is complete); move-before:N, move-after:N (around the N-th folder move).
// Exit codes: 0 finished, 2 failed, 99 killed.
#include "install/file_operations.h"
#include "install/staged_activation.h"

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr UINT killedExitCode = 99;

[[noreturn]] void killSelf() {
    TerminateProcess(GetCurrentProcess(), killedExitCode);
    ExitProcess(killedExitCode);
}

// Counts the events of one kind and kills the process at the chosen one.
class KillPoint {
public:
    explicit KillPoint(const std::wstring& point) {
        const auto colon = point.find(L':');
        kind_ = point.substr(0, colon);
        if (colon != std::wstring::npos) {
            target_ = std::stoi(point.substr(colon + 1));
        }
    }

    // True at the chosen event of the chosen kind.
    bool reached(std::wstring_view kind) { return kind_ == kind && ++seen_ == target_; }

    void killAt(std::wstring_view kind) {
        if (reached(kind)) {
            killSelf();
        }
    }

private:
    std::wstring kind_;
    int target_ = 1;
    int seen_ = 0;
};

void installMoveKills(KillPoint& point) {
    hub::setMoveInterceptorForTesting(
        [&point](const std::filesystem::path& from,
                 const std::filesystem::path& to) -> std::optional<std::uint32_t> {
            point.killAt(L"move-before");
            if (point.reached(L"move-after")) {
                MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING);
                killSelf();
            }
            return std::nullopt;
        });
}

int run(const std::vector<std::wstring>& arguments) {
    const bool install = arguments.size() >= 5 && arguments[1] == L"install";
    const bool remove = arguments.size() >= 4 && arguments[1] == L"remove";
    if (!install && !remove) {
        std::fputs("usage: hub_install_child install|remove ...\n", stderr);
        return 2;
    }
    KillPoint point(arguments[install ? 4 : 3]);
    installMoveKills(point);
    const hub::ProgressCallback progress = [&point](double, const std::string&) {
        point.killAt(L"progress");
    };
    if (remove) {
        hub::removeInstalledFolder(arguments[2], progress);
        return 0;
    }
    const std::vector<std::wstring> preserved(arguments.begin() + 5, arguments.end());
    const std::atomic<bool> cancel{false};
    hub::stageAndActivate(
        arguments[2], arguments[3], preserved,
        [&point](const std::filesystem::path&) { point.killAt(L"staged"); }, progress, cancel);
    return 0;
}

} // namespace

int main() {
    int count = 0;
    wchar_t** raw = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::vector<std::wstring> arguments(raw, raw + count);
    LocalFree(raw);
    try {
        return run(arguments);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
}

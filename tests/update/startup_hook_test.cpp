#include "update/startup_hook.h"

#include "fake_velopack.h"
#include "util/unique_handle.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

using Journal = std::vector<std::string>;

constexpr DWORD wentOnExitCode = 7;

// A program that starts as the hub does, in a folder of its own with or without the update
// framework's library beside it; it notes in "record.txt" when it gets past the hook.
class HookProbe {
public:
    explicit HookProbe(const std::filesystem::path& libraryFolder = {})
        : program_(folder_ / "hub.exe"), record_(L"HUB_PROBE_RECORD", folder_ / "record.txt") {
        std::filesystem::copy_file(test::testFolder() / "update-probe" / "update_hook_probe.exe",
                                   program_);
        if (!libraryFolder.empty()) {
            std::filesystem::copy_file(libraryFolder / "velopack_libc.dll",
                                       folder_ / "velopack_libc.dll");
        }
    }

    // Runs the program with the arguments and returns its exit code.
    DWORD run(const std::wstring& arguments) const {
        std::wstring commandLine = L"\"" + program_.native() + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (!CreateProcessW(program_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, folder_.path().c_str(), &startup, &started)) {
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

    // What the program noted after the hook, empty when it never got there.
    [[nodiscard]] std::string record() const {
        const auto file = folder_ / "record.txt";
        return std::filesystem::exists(file) ? test::readFile(file) : std::string();
    }

private:
    test::TempFolder folder_;
    std::filesystem::path program_;
    test::ScopedEnvironmentVariable record_;
};

TEST(StartupHookTest, HookSwitchEndsTheProcessBeforeAnythingElse) {
    test::FakeVelopack fake;
    const HookProbe probe(test::testFolder());
    EXPECT_EQ(probe.run(L"--veloapp-install 1.2.3"), 0u);
    EXPECT_EQ(probe.record(), "");
    EXPECT_EQ(fake.journal(), (Journal{"app_run user=null", "hook --veloapp-install 1.2.3"}));
}

TEST(StartupHookTest, OrdinaryStartGoesOnAfterTheHook) {
    test::FakeVelopack fake;
    const HookProbe probe(test::testFolder());
    EXPECT_EQ(probe.run(L""), wentOnExitCode);
    EXPECT_EQ(probe.record(), "went on\n");
    EXPECT_EQ(fake.journal(), Journal{"app_run user=null"});
}

TEST(StartupHookTest, SkippedWithoutAUsableLibrary) {
    for (const std::filesystem::path& libraryFolder :
         {std::filesystem::path{}, test::testFolder() / "velopack-old"}) {
        test::FakeVelopack fake;
        const HookProbe probe(libraryFolder);
        EXPECT_EQ(probe.run(L"--veloapp-install 1.2.3"), wentOnExitCode);
        EXPECT_EQ(probe.record(), "went on --veloapp-install 1.2.3\n");
        EXPECT_EQ(fake.journal(), Journal{}) << libraryFolder;
    }
}

} // namespace
} // namespace hub

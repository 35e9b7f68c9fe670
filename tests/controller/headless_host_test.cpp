#include "app/known_folder.h"
#include "controller/controller_fixture.h"
#include "install/engine_test_support.h"
#include "install/install_test_support.h"
#include "install/processes.h"
#include "support/test_prefix.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/unique_handle.h"

#include <windows.h>

#include <shlobj.h>

namespace hub::test {

namespace {

// The headless host as a child process with pipes on its standard input and output.
class HostProcess {
public:
    explicit HostProcess(const std::wstring& arguments) {
        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE childIn = nullptr;
        HANDLE childOut = nullptr;
        HANDLE ours = nullptr;
        CreatePipe(&childIn, &ours, &inheritable, 0);
        input_.reset(ours);
        UniqueHandle childInput(childIn);
        CreatePipe(&ours, &childOut, &inheritable, 0);
        output_.reset(ours);
        UniqueHandle childOutput(childOut);
        SetHandleInformation(input_.get(), HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(output_.get(), HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childInput.get();
        startup.hStdOutput = childOutput.get();
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        std::wstring commandLine =
            L"\"" + testProgram(L"hub_headless_host.exe").native() + L"\" " + arguments;
        PROCESS_INFORMATION started{};
        EXPECT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                   CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started));
        process_.reset(started.hProcess);
        CloseHandle(started.hThread);
    }
    void send(const json& message) {
        const std::string line = message.dump() + "\n";
        DWORD written = 0;
        WriteFile(input_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    // Reads snapshot lines until one satisfies the test (at most 240 lines, a minute of ticks).
    json waitFor(const std::function<bool(const json&)>& test) {
        for (int count = 0; count < 240; ++count) {
            const json snapshot = json::parse(readLine());
            if (test(snapshot)) {
                return snapshot;
            }
        }
        ADD_FAILURE() << "no such snapshot";
        return nullptr;
    }
    json notice(const std::string& text) {
        return waitFor([&](const json& state) { return state["notice"] == text; });
    }
    // Closes the input and waits for the host to end.
    DWORD close() {
        input_.reset();
        while (!readLine().empty()) {
        }
        WaitForSingleObject(process_.get(), INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(process_.get(), &code);
        return code;
    }

private:
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

    UniqueHandle input_;
    UniqueHandle output_;
    UniqueHandle process_;
    std::string buffer_;
};

// One session of the hub as the interface drives it, through the headless host.
TEST_F(ControllerTest, TheHeadlessHostDrivesTheWholeHub) {
    HUB_REQUIRE_TEST_PREFIX();
    const fs::path roaming = root / L"roaming";
    makeTree(roaming, {{"Microsoft Flight Simulator 2024/UserCfg.opt",
                        "InstalledPackagesPath \"" + pathToUtf8(root / L"packages") + "\"\n"},
                       {"../packages/Community/orvantis-aircraft-velmora-weapons/manifest.json",
                        R"({"package_version": "1.0.0"})"}});
    server.answer("/downloads/orv-hub/packages.json",
                  {.body = R"({"velmora-weapons-patch": "1.2.0"})"});
    serveArchive(server, "/wp-content/uploads/package/orvantis-velmora-weapons-patch.zip",
                 communityPackageArchive("1.2.0"));
    server.answer("/wp-content/uploads/package/orvantis-tarsek-weapons-patch.zip",
                  {.body = "x", .delayMs = 1000});
    serveArchive(server, "/downloads/orv-velmora-camera/orv-camera.zip",
                 {{"ORV-Camera.exe", readFile(testProgram(L"hub_test_child.exe"))}});
    HostProcess host(L"--web-origin " + toWide(server.url("")) + L" --local-app-data \"" +
                     (root / L"local").native() + L"\" --roaming-app-data \"" + roaming.native() +
                     L"\"");
    const json first = host.waitFor([](const json& state) {
        return componentIn(state, "velmora-weapons-patch")["status"] == "updateAvailable" &&
               componentIn(state, "velmora-weapons-patch")["availableVersion"] == "1.2.0";
    });
    EXPECT_EQ(first["simulator"]["target"]["id"], "msfs2024-steam");
    host.send({{"type", "install"}, {"componentId", "velmora-weapons-patch"}});
    host.notice("Weapons Patch updated to 1.2.0.");
    host.send({{"type", "install"}, {"componentId", "tarsek-weapons-patch"}});
    host.send({{"type", "reload"}});
    host.waitFor([](const json& state) {
        return state["error"] == "Wait for the current operation to finish.";
    });
    host.send({{"type", "cancelOperation"}});
    host.notice("Weapons Patch: operation cancelled, nothing was changed.");
    host.send({{"type", "install"}, {"componentId", "orv-camera"}});
    host.notice("Camera System 0.11.0 installed.");
    host.send({{"type", "launch"}, {"componentId", "orv-camera"}});
    host.notice("Camera System started.");
    host.send({{"type", "createShortcut"}, {"componentId", "orv-camera"}});
    host.notice("Camera System shortcut created on the Desktop.");
    const fs::path shortcut = knownFolderPath(FOLDERID_Desktop) / L"Orvantis Camera System.lnk";
    EXPECT_TRUE(fs::exists(shortcut));
    fs::remove(shortcut);
    host.waitFor(
        [](const json& state) { return componentIn(state, "orv-camera")["running"] == false; });
    host.send({{"type", "uninstall"}, {"componentId", "orv-camera"}});
    host.notice("Camera System uninstalled.");
    EXPECT_EQ(host.close(), 0u);
    EXPECT_FALSE(fs::exists(root / L"local" / L"Orvantis.CameraSystem"));
}

} // namespace

} // namespace hub::test

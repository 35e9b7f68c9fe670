#include "controller/application_controller.h"
#include "harness/https_test_server.h"
#include "support/test_support.h"
#include "util/paths.h"

#include <nlohmann/json.hpp>

#include <stdexcept>

namespace hub::test {

namespace {

using nlohmann::json;

// The report carries what support asks first, ends with the log's last 200 lines, and a
// clipboard that refuses it leaves its message as the error.
TEST(SupportReport, CopiesVersionsFoldersComponentsErrorAndLogEnd) {
    TempFolder root;
    HttpsTestServer server;
    AppFolders folders = createAppFoldersUnder(root / L"local");
    std::string log;
    for (int line = 0; line < 250; ++line) {
        log += "2026-01-01 00:00:00  old " + std::to_string(line) + "\r\n";
    }
    writeFile(folders.logFile, log);
    const auto community = root / L"Community";
    std::vector<std::string> copied;
    bool refuse = false;
    ApplicationController controller(
        folders, nullptr,
        {.origins = {server.url(""), server.url("/docs")},
         .discover =
             [&] {
                 return std::vector{SimulatorInstallation{"msfs2024-steam", "msfs2024", "MSFS 2024",
                                                          "Steam", community}};
             },
         .writeClipboard =
             [&](std::string_view text) {
                 if (refuse) {
                     throw std::runtime_error("Unable to copy to the clipboard: Access is denied");
                 }
                 copied.emplace_back(text);
             }});
    const auto send = [&](const char* type) {
        controller.handleMessage(json{{"type", type}, {"componentId", "orv-camera"}}.dump());
        return json::parse(controller.snapshot());
    };
    send("launch");
    EXPECT_EQ(send("copyDiagnostics")["notice"], "Support report copied to the clipboard.");
    ASSERT_EQ(copied.size(), 1u);
    const std::string folder = pathToUtf8(community);
    for (const std::string& expected :
         {"Hub version: 1.0.1\r\nWindows version: ",
          "  MSFS 2024 Steam [msfs2024-steam]: " + folder + " (not found)\r\n",
          "Target: MSFS 2024 Steam [msfs2024-steam]: " + folder + " (not found)\r\n",
          "  Velmora · Weapons Patch [velmora-weapons-patch]: not installed, available 1.0.0\r\n",
          "Last error: Camera System cannot be started.\r\n",
          "  command failed: Camera System cannot be started.\r\n", "  old 249\r\n"}) {
        EXPECT_NE(copied[0].find(expected), std::string::npos) << expected;
    }
    EXPECT_EQ(copied[0].find("  old 0\r\n"), std::string::npos) << "only the last 200 lines";
    const auto tail = copied[0].substr(copied[0].find("last 200 lines:\r\n") + 17);
    EXPECT_EQ(std::ranges::count(tail, '\n'), 200) << copied[0];
    refuse = true;
    EXPECT_EQ(send("copyDiagnostics")["error"],
              "Unable to copy to the clipboard: Access is denied");
}

} // namespace

} // namespace hub::test

#include "controller/controller_fixture.h"
#include "support/test_support.h"

#include <random>

namespace hub::test {

namespace {

// Seeded random and mutated messages while an install holds the controller busy (its
// completion waits for a tick that never comes): nothing escapes, every snapshot stays valid
// JSON, a message that is not JSON sets the error, and no other operation starts.
TEST_F(ControllerTest, HostileMessagesChangeNothingTheRulesRefuse) {
    useCommunityFolder();
    serveArchive(server, "/wp-content/uploads/package/orvantis-velmora-weapons-patch.zip",
                 communityPackageArchive("1.0.0"));
    start();
    ASSERT_EQ(send(command("install", "componentId", "velmora-weapons-patch")), "");
    const char* types[]{"install",       "uninstall",           "launch",
                        "stop",          "openFolder",          "createShortcut",
                        "openLink",      "selectSimulator",     "chooseCommunityFolder",
                        "reload",        "cancelOperation",     "refresh",
                        "dismissNotice", "uninstallApplication"};
    const json values[]{nullptr,
                        7,
                        true,
                        json::array(),
                        json::object(),
                        "orv-camera",
                        std::string(70, 'a'),
                        "tarsek-weapons-patch",
                        "custom",
                        ""};
    std::mt19937 random(20261206);
    for (int round = 0; round < 10'000; ++round) {
        json message = command(types[random() % std::size(types)]);
        for (const char* field : {"componentId", "url", "installationId"}) {
            if (random() % 2 == 0) {
                message[field] = values[random() % std::size(values)];
            }
        }
        std::string text = message.dump();
        const auto at = random() % text.size();
        switch (random() % 8) {
        case 0:
            text.resize(at);
            break;
        case 1:
            text.insert(at, 1, static_cast<char>(0x80 + random() % 0x80));
            break;
        case 2:
            text = std::string(1 + random() % 5'000, '[');
            break;
        case 3:
            text[at] = static_cast<char>(random() % 256);
            break;
        default:
            break;
        }
        SCOPED_TRACE(text.substr(0, 200));
        controller->handleMessage(text);
        const std::string snapshot = controller->snapshot();
        ASSERT_TRUE(json::accept(snapshot));
        if (!json::accept(text)) {
            EXPECT_NE(json::parse(snapshot)["error"], "");
        }
    }
    EXPECT_EQ(state()["operation"]["componentId"], "velmora-weapons-patch");
    EXPECT_EQ(threadStarts, 2) << "no other operation started";
}

} // namespace

} // namespace hub::test

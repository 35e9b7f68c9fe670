#include "controller/controller_fixture.h"
#include "install/install_test_support.h"

#include <random>

namespace hub::test {

namespace {

// Seeded random and mutated messages while an install holds the controller busy (its
// completion waits for a tick that never comes): nothing escapes, every snapshot stays valid
// JSON, whatever is not a well-formed command sets the error, and no other operation starts.
TEST_F(ControllerTest, HostileMessagesChangeNothingTheRulesRefuse) {
    useCommunityFolder();
    serveArchive(server, "/wp-content/uploads/package/orvantis-velmora-weapons-patch.zip",
                 communityPackageArchive("1.0.0"));
    start();
    ASSERT_EQ(send({{"type", "install"}, {"componentId", "velmora-weapons-patch"}}), "");
    const std::vector<std::string> types{
        "install",       "uninstall",           "launch",
        "stop",          "openFolder",          "createShortcut",
        "openLink",      "selectSimulator",     "chooseCommunityFolder",
        "reload",        "cancelOperation",     "refresh",
        "dismissNotice", "uninstallApplication"};
    const std::vector<json> values{json(nullptr),
                                   json(7),
                                   json(true),
                                   json::array(),
                                   json::object(),
                                   json("orv-camera"),
                                   json(std::string(70, 'a')),
                                   json("tarsek-weapons-patch"),
                                   json("custom"),
                                   json("")};
    std::mt19937 random(20261206);
    const auto pick = [&](std::size_t size) { return random() % size; };
    for (int round = 0; round < 10'000; ++round) {
        json message = {{"type", types[pick(types.size())]}};
        for (const char* field : {"componentId", "url", "installationId"}) {
            if (random() % 2 == 0) {
                message[field] = values[pick(values.size())];
            }
        }
        std::string text = message.dump();
        const auto mutation = pick(8);
        if (mutation == 0) {
            text.resize(pick(text.size()));
        } else if (mutation == 1) {
            text.insert(pick(text.size()), 1, static_cast<char>(0x80 + pick(0x80)));
        } else if (mutation == 2) {
            text = std::string(1 + pick(5'000), '[');
        } else if (mutation == 3) {
            text[pick(text.size())] = static_cast<char>(pick(256));
        }
        SCOPED_TRACE(text.substr(0, 200));
        controller->handleMessage(text);
        const std::string snapshot = controller->snapshot();
        if (!json::accept(text)) {
            EXPECT_NE(json::parse(snapshot)["error"], "");
        } else {
            ASSERT_TRUE(json::accept(snapshot));
        }
    }
    EXPECT_EQ(state()["operation"]["componentId"], "velmora-weapons-patch");
    EXPECT_EQ(threadStarts, 2) << "no other operation started";
}

} // namespace

} // namespace hub::test

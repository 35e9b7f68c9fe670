#include "catalog/versions.h"

#include <gtest/gtest.h>

#include <string>

namespace hub {
namespace {

TEST(VersionValidity, Table) {
    struct Case {
        std::string text;
        bool valid;
    };
    const Case cases[] = {
        {"1.2.3", true},
        {"0.0.0", true},
        {"V1.2.3", true},
        {"v10.20.30", true},
        {"1.2.3-beta.1", true},
        {"1.2.3+build5", true},
        {"1.2.3-rc-1+build.7", true},
        {"1.2.3+", false},
        {"1.2.3-", false},
        {"1.2", false},
        {"1.2.3.4", false},
        {"1..3", false},
        {".1.2", false},
        {"1.2.", false},
        {"1.2.x", false},
        {"v", false},
        {"V", false},
        {"", false},
        {"vv1.2.3", false},
        {" 1.2.3", false},
        {"1.2.3 ", false},
        {"1.2.3-beta_1", false},
        {"1.2.3-b\xc3\xa9ta", false},
        {"-1.2.3", false},
        {"1.-2.3", false},
        {std::string{"1.2.3\0", 6}, false},
        {"1.2.3-" + std::string(58, 'a'), true},  // 64 bytes
        {"1.2.3-" + std::string(59, 'a'), false}, // 65 bytes
        {"v1.2.3-" + std::string(57, 'a'), true},
        {"1.2." + std::string(60, '9'), true}, // fields need not fit 64 bits
    };
    for (const Case& test : cases) {
        EXPECT_EQ(isValidVersion(test.text), test.valid) << '"' << test.text << '"';
    }
}

TEST(VersionOrder, Table) {
    struct Case {
        const char* a;
        const char* b;
        int order;
    };
    const Case cases[] = {
        {"1.10.0", "1.9.9", 1},
        {"1.0", "1.0.0", 0},
        {"1.0.0-beta", "1.0.0", -1},
        {"1.0.0-beta", "1.0.0-rc", -1},
        {"1.0.0-rc", "1.0.0", -1},
        {"2.0.0+5", "2.0.0", 0},
        {"2.0.0+5", "2.0.0+6", 0},
        {"v1.2.3", "1.2.3", 0},
        {"V1.2.3", "v1.2.4", -1},
        {"1.0.0-beta+exp", "1.0.0-beta", 0},
        {"1.0.0-alpha", "1.0.0-alpha.1", -1},
        {"1.0.0-", "1.0.0", 0},
        {"1..0", "1.0.0", 0},
        {"", "0", 0},
        {"", "0.0.1", -1},
        {"01.2.3", "1.2.3", 0},
        {"1.2.3.1", "1.2.3", 1},
        {"1.2.x", "1.2.9", 1},
        {"1.2.a", "1.2.b", -1},
        {"1.2.ab", "1.2.a", 1},
        {"18446744073709551615.0.0", "18446744073709551614.0.0", 1},
        // Beyond 64 bits the fields compare as bytes: "1" sorts before "9".
        {"18446744073709551616.0.0", "9.0.0", -1},
        {"99999999999999999999.0.0", "99999999999999999998.0.0", 1},
        {"1.0.0-rc.10", "1.0.0-rc.9", -1},
        {"1.0.0-B", "1.0.0-a", -1},
        {"abc", "abd", -1},
        {"vv", "v", 1},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(compareVersions(test.a, test.b), test.order) << test.a << " vs " << test.b;
        EXPECT_EQ(compareVersions(test.b, test.a), -test.order) << test.b << " vs " << test.a;
    }
}

TEST(VersionOrder, AnyBytesCompareWithoutFailing) {
    const std::string odd[] = {"",
                               "-",
                               "+",
                               ".",
                               "v",
                               "...",
                               "-+-",
                               std::string(1000, '9'),
                               std::string{"\0\xff", 2},
                               "1.2.3-\xc3\xa9"};
    for (const std::string& a : odd) {
        EXPECT_EQ(compareVersions(a, a), 0) << a;
        for (const std::string& b : odd) {
            const int order = compareVersions(a, b);
            EXPECT_TRUE(order >= -1 && order <= 1);
            EXPECT_EQ(compareVersions(b, a), -order) << a << " vs " << b;
        }
    }
}

} // namespace
} // namespace hub

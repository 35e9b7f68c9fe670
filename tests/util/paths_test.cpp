#include "util/paths.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

struct SamePathCase {
    const wchar_t* a;
    const wchar_t* b;
    bool same;
};

class SamePath : public testing::TestWithParam<SamePathCase> {};

TEST_P(SamePath, ComparesLexically) {
    EXPECT_EQ(samePath(GetParam().a, GetParam().b), GetParam().same);
    EXPECT_EQ(samePath(GetParam().b, GetParam().a), GetParam().same);
}

INSTANTIATE_TEST_SUITE_P(Cases, SamePath,
                         testing::Values(SamePathCase{L"C:\\Games\\X\\", L"c:\\games\\x", true},
                                         SamePathCase{L"C:\\Games\\X\\\\", L"C:\\Games\\X", true},
                                         SamePathCase{L"C:/Games/X", L"C:\\Games\\X", true},
                                         SamePathCase{L"C:\\a\\..\\b", L"C:\\b", true},
                                         SamePathCase{L"C:\\a\\.\\b", L"C:\\a\\b", true},
                                         SamePathCase{L"C:\\", L"c:\\", true},
                                         SamePathCase{L"C:\\", L"C:", false},
                                         SamePathCase{L"Games\\X", L"C:\\Games\\X", false},
                                         SamePathCase{L"C:\\Games\\X", L"C:\\Games\\Y", false},
                                         SamePathCase{L"C:\\Games\\X", L"C:\\Games\\X2", false}));

struct LeafCase {
    const wchar_t* path;
    const char* leaf;
};

class LeafName : public testing::TestWithParam<LeafCase> {};

TEST_P(LeafName, IsTheLastComponent) {
    EXPECT_EQ(leafName(GetParam().path), GetParam().leaf);
}

INSTANTIATE_TEST_SUITE_P(Cases, LeafName,
                         testing::Values(LeafCase{L"C:\\Games\\Community\\orv-a320", "orv-a320"},
                                         LeafCase{L"C:\\Games\\hub.log", "hub.log"},
                                         LeafCase{L"C:name", "name"}, LeafCase{L"name", "name"},
                                         LeafCase{L"C:\\", ""},
                                         LeafCase{L"C:\\Caf\u00E9", "Caf\xC3\xA9"}));

TEST(PathToUtf8, GivesTheNativeText) {
    EXPECT_EQ(pathToUtf8(L"C:\\Stra\u00DFe\\a/b"), "C:\\Stra\xC3\x9F"
                                                   "e\\a/b");
}

} // namespace
} // namespace hub

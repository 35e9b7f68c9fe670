#include "install/long_path.h"

#include "util/text.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

struct LongPathCase {
    const wchar_t* input;
    const wchar_t* expected;
};

void PrintTo(const LongPathCase& value, std::ostream* out) {
    *out << toUtf8(value.input);
}

class LongPathTest : public testing::TestWithParam<LongPathCase> {};

TEST_P(LongPathTest, FormsTheLongName) {
    EXPECT_EQ(toLongPath(GetParam().input).native(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LongPathTest,
    testing::Values(LongPathCase{LR"(C:\a/b)", LR"(\\?\C:\a\b)"},
                    LongPathCase{LR"(c:/Games/./x/../Community)", LR"(\\?\c:\Games\Community)"},
                    LongPathCase{LR"(C:\a\\b)", LR"(\\?\C:\a\b)"},
                    LongPathCase{LR"(C:a)", LR"(C:a)"}, LongPathCase{LR"(C:)", LR"(C:)"},
                    LongPathCase{LR"(\\srv\share\x)", LR"(\\?\UNC\srv\share\x)"},
                    LongPathCase{LR"(//srv/share/x)", LR"(\\?\UNC\srv\share\x)"},
                    LongPathCase{LR"(\\?\C:\x)", LR"(\\?\C:\x)"},
                    LongPathCase{LR"(\\?\C:\x\..\y)", LR"(\\?\C:\x\..\y)"},
                    LongPathCase{LR"(relative\x)", LR"(relative\x)"},
                    LongPathCase{LR"(a/./b)", LR"(a\b)"}, LongPathCase{LR"(\x)", LR"(\x)"},
                    LongPathCase{L"", L""}));

} // namespace
} // namespace hub

#include "util/text.h"

#include <gtest/gtest.h>

TEST(Smoke3, Builds) { EXPECT_EQ(hub::toWide("a"), L"a"); }

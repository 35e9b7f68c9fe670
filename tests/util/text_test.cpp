#include "util/text.h"

#include <gtest/gtest.h>

TEST(Smoke, Builds) { EXPECT_EQ(hub::toWide("a"), L"a"); }

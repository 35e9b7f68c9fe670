#pragma once

#include <gtest/gtest.h>

namespace hub::test {

// True when running under Wine rather than Windows.
bool runningUnderWine();

// True only inside the build's own Wine prefix, as started by the test harness: the
// harness names the prefix in HUB_TEST_PREFIX and the prefix carries a marker file.
bool insideTestPrefix();

} // namespace hub::test

// Tests that write the real per-user folders (AppData, Desktop) start with this, so that
// nobody's real profile is ever touched by a test run outside the harness.
#define HUB_REQUIRE_TEST_PREFIX()                                                                  \
    do {                                                                                           \
        if (!::hub::test::insideTestPrefix()) {                                                    \
            GTEST_SKIP() << "writes per-user folders: runs only in the harness's Wine prefix";     \
        }                                                                                          \
    } while (false)

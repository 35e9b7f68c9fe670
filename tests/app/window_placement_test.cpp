#include "app/window_placement.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

TEST(WindowPlacement, ScalesCentresAndStaysWithinTheWorkArea) {
    struct Row {
        const char* name;
        UINT dpi;
        RECT workArea;
        RECT placement;
        SIZE minimum;
    };
    const Row rows[] = {
        {"100 %", 96, {0, 0, 1920, 1040}, {320, 120, 1600, 920}, {1080, 680}},
        {"150 %", 144, {0, 0, 2560, 1400}, {320, 100, 2240, 1300}, {1620, 1020}},
        {"200 % on a second monitor",
         192,
         {-3840, 0, 0, 2100},
         {-3200, 250, -640, 1850},
         {2160, 1360}},
        {"work area smaller than the window",
         144,
         {0, 40, 1366, 768},
         {0, 40, 1366, 768},
         {1366, 728}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const RECT placement = initialPlacement(row.dpi, row.workArea);
        EXPECT_TRUE(EqualRect(&placement, &row.placement))
            << placement.left << ',' << placement.top << ',' << placement.right << ','
            << placement.bottom;
        const SIZE minimum = minimumTrackSize(row.dpi, row.workArea);
        EXPECT_EQ(minimum.cx, row.minimum.cx);
        EXPECT_EQ(minimum.cy, row.minimum.cy);
    }
}

} // namespace
} // namespace hub

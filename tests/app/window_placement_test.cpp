#include "app/window_placement.h"

#include <gtest/gtest.h>

#include <array>

namespace hub {
namespace {

TEST(WindowPlacement, ScalesCentresAndStaysWithinTheWorkArea) {
    struct Row {
        const char* name;
        UINT dpi;
        RECT workArea;
        std::array<LONG, 6> placementAndMinimum; // left, top, right, bottom, width, height
    };
    const Row rows[] = {
        {"100 %", 96, {0, 0, 1920, 1040}, {320, 120, 1600, 920, 1080, 680}},
        {"150 %", 144, {0, 0, 2560, 1400}, {320, 100, 2240, 1300, 1620, 1020}},
        {"200 %, second monitor", 192, {-3840, 0, 0, 2100}, {-3200, 250, -640, 1850, 2160, 1360}},
        {"work area too small", 144, {0, 40, 1366, 768}, {0, 40, 1366, 768, 1366, 728}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const RECT placement = initialPlacement(row.dpi, row.workArea);
        const SIZE minimum = minimumTrackSize(row.dpi, row.workArea);
        EXPECT_EQ((std::array{placement.left, placement.top, placement.right, placement.bottom,
                              minimum.cx, minimum.cy}),
                  row.placementAndMinimum);
    }
}

} // namespace
} // namespace hub

#include "install/copy_progress.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

namespace hub {
namespace {

using Report = std::pair<double, std::string>;

class CopyProgressTest : public testing::Test {
protected:
    // A report time in the far future, so that only the fraction rule can let a report through.
    void holdTheClock() { state.lastReportTime = std::numeric_limits<std::int64_t>::max() / 2; }

    DWORD routine(std::int64_t transferred) {
        LARGE_INTEGER bytes;
        bytes.QuadPart = transferred;
        const LARGE_INTEGER zero{};
        return copyProgressRoutine(zero, bytes, zero, zero, 1, CALLBACK_CHUNK_FINISHED, nullptr,
                                   nullptr, &state);
    }

    std::vector<Report> reports;
    ProgressCallback progress = [this](double fraction, const std::string& message) {
        reports.emplace_back(fraction, message);
    };
    std::atomic<bool> cancel{false};
    CopyProgress state{progress, cancel, 1000};
};

TEST_F(CopyProgressTest, ForcedReportsAlwaysGoOut) {
    state.report(0, true);
    state.report(0, true);
    EXPECT_EQ(reports, (std::vector<Report>{{0.0, "Copying files"}, {0.0, "Copying files"}}));
}

TEST_F(CopyProgressTest, SmallStepsAreHeldBackUntilTheyAddUp) {
    state.report(0, true);
    holdTheClock();
    state.report(3, false);  // 0.003
    state.report(4, false);  // 0.004: the step is reached
    state.report(7, false);  // 0.003 more
    state.copiedBytes = 500; // a file of 500 bytes done
    state.report(0, false);
    ASSERT_EQ(reports.size(), 3U);
    EXPECT_DOUBLE_EQ(reports[1].first, 0.004);
    EXPECT_DOUBLE_EQ(reports[2].first, 0.5);
}

TEST_F(CopyProgressTest, APauseOf120MillisecondsLetsASmallStepThrough) {
    state.report(0, true);
    state.lastReportTime = 0; // the last report lies far in the past
    state.report(1, false);
    ASSERT_EQ(reports.size(), 2U);
    EXPECT_DOUBLE_EQ(reports[1].first, 0.001);
}

TEST_F(CopyProgressTest, EmptyTreeCountsAsComplete) {
    CopyProgress empty(progress, cancel, 0);
    empty.report(0, true);
    EXPECT_EQ(reports, (std::vector<Report>{{1.0, "Copying files"}}));
}

TEST_F(CopyProgressTest, NoCallbackReportsNothing) {
    const ProgressCallback none;
    CopyProgress silent(none, cancel, 10);
    silent.report(5, true);
    EXPECT_EQ(silent.lastFraction, -1.0);
}

TEST_F(CopyProgressTest, RoutineReportsTheFileInFlightAndContinues) {
    state.copiedBytes = 200;
    EXPECT_EQ(routine(300), static_cast<DWORD>(PROGRESS_CONTINUE));
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_DOUBLE_EQ(reports[0].first, 0.5);
}

TEST_F(CopyProgressTest, RoutineCancelsTheCopyWhenTheFlagIsRaised) {
    cancel = true;
    EXPECT_EQ(routine(300), static_cast<DWORD>(PROGRESS_CANCEL));
    EXPECT_TRUE(reports.empty());
}

TEST_F(CopyProgressTest, RoutineKeepsAFailingCallbackAndCancelsTheCopy) {
    progress = [](double, const std::string&) { throw std::runtime_error("interface gone"); };
    EXPECT_EQ(routine(300), static_cast<DWORD>(PROGRESS_CANCEL));
    ASSERT_TRUE(state.callbackFailure);
    EXPECT_THROW(std::rethrow_exception(state.callbackFailure), std::runtime_error);
    EXPECT_EQ(routine(400), static_cast<DWORD>(PROGRESS_CANCEL)) << "stays cancelled";
}

} // namespace
} // namespace hub

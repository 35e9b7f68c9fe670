#include "simulators/process_list.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace hub {
namespace {

TEST(ProcessListTest, ListsThisProcessByItsFileName) {
    const auto processes = listProcesses();
    const auto self =
        std::find_if(processes.begin(), processes.end(), [](const ProcessEntry& entry) {
            return entry.processId == GetCurrentProcessId();
        });
    ASSERT_NE(self, processes.end());
    EXPECT_EQ(self->executableName, L"simulators_tests.exe");
    EXPECT_GT(processes.size(), 1U);
}

} // namespace
} // namespace hub

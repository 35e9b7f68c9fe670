#include "simulators/simulator_installations.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

struct UserCfgCase {
    const char* name;
    const char* content;
    const wchar_t* expected;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const UserCfgCase& value, std::ostream* out) {
    *out << value.name;
}

class UserCfgTest : public testing::TestWithParam<UserCfgCase> {};

TEST_P(UserCfgTest, ReadsThePackagesFolder) {
    test::TempFolder temp;
    test::writeFile(temp / L"UserCfg.opt", GetParam().content);
    EXPECT_EQ(readInstalledPackagesPath(temp / L"UserCfg.opt").native(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, UserCfgTest,
    testing::Values(
        UserCfgCase{"LineFeeds",
                    "{Graphics\n\tVersion 1.1.0\n}\nInstalledPackagesPath \"C:\\Games\\MSFS\"\n",
                    LR"(C:\Games\MSFS)"},
        UserCfgCase{"CarriageReturnsStayOutsideTheQuotes",
                    "Version 1\r\nInstalledPackagesPath \"D:\\Flight Sim\\Packages\"\r\n",
                    LR"(D:\Flight Sim\Packages)"},
        UserCfgCase{"TrailingBackslashBeforeTheQuote", "InstalledPackagesPath \"H:\\MSFS2024\\\"\n",
                    LR"(H:\MSFS2024\)"},
        UserCfgCase{"TabAfterTheKeyAndIndentation", "    InstalledPackagesPath\t\"E:\\MSFS\"",
                    LR"(E:\MSFS)"},
        UserCfgCase{"QuoteRightAfterTheKey", "InstalledPackagesPath\"E:\\MSFS\"\n", LR"(E:\MSFS)"},
        UserCfgCase{"NonAsciiFolder", "InstalledPackagesPath \"C:\\Sim\xC3\xA9\"\n",
                    L"C:\\Sim\u00e9"},
        UserCfgCase{"OnlyOneQuoteDecidesEvenWithAGoodLaterLine",
                    "InstalledPackagesPath \"C:\\broken\nInstalledPackagesPath \"C:\\good\"\n",
                    L""},
        UserCfgCase{"EmptyQuotes", "InstalledPackagesPath \"\"\n", L""},
        UserCfgCase{"NoQuotes", "InstalledPackagesPath C:\\MSFS\n", L""},
        UserCfgCase{"NoKey", "{Video\n\tFullscreen 1\n}\n", L""},
        UserCfgCase{"KeyInOtherCase", "installedpackagespath \"C:\\MSFS\"\n", L""},
        UserCfgCase{"ShortLinesAreSkipped", "\"C:\\x\"\nInstalledPackagesPath \"C:\\MSFS\"\n",
                    LR"(C:\MSFS)"},
        UserCfgCase{"PendingFolderBeforeTheActiveOne",
                    "InstalledPackagesPathNextBoot \"F:\\Pending\"\n"
                    "InstalledPackagesPath \"C:\\Active\"\n",
                    LR"(C:\Active)"},
        UserCfgCase{"PendingFolderAfterTheActiveOne",
                    "InstalledPackagesPath \"C:\\Active\"\n"
                    "InstalledPackagesPathNextBoot \"F:\\Pending\"\n",
                    LR"(C:\Active)"},
        UserCfgCase{"PendingFolderAlone", "InstalledPackagesPathNextBoot \"F:\\Pending\"\n", L""},
        UserCfgCase{"EmptyFile", "", L""}),
    [](const testing::TestParamInfo<UserCfgCase>& param) { return param.param.name; });

TEST(UserCfgFileTest, MissingFileGivesNothing) {
    test::TempFolder temp;
    EXPECT_TRUE(readInstalledPackagesPath(temp / L"UserCfg.opt").empty());
}

TEST(SimulatorExecutableTest, NamesTheExecutableOfEachFamily) {
    EXPECT_EQ(simulatorExecutable("msfs2020"), L"FlightSimulator.exe");
    EXPECT_EQ(simulatorExecutable("msfs2024"), L"FlightSimulator2024.exe");
    EXPECT_EQ(simulatorExecutable(""), L"FlightSimulator2024.exe");
}

} // namespace
} // namespace hub

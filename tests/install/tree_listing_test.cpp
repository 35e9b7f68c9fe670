#include "install/tree_listing.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace hub {
namespace {

namespace fs = std::filesystem;

TEST(TreeListingTest, ListsFoldersBeforeTheirContentsWithSizes) {
    test::TempFolder temp;
    test::makeTree(temp / L"src", {{"a.txt", "12345"},
                                   {"sub/b.bin", std::string(300, 'b')},
                                   {"sub/deeper/c.txt", ""},
                                   {"empty/", ""}});
    std::uint64_t total = 99;
    const auto entries = listTree(temp / L"src", total);
    EXPECT_EQ(total, 305U);
    std::map<std::wstring, std::pair<std::uint64_t, bool>> listed;
    for (const auto& entry : entries) {
        listed[entry.relativePath.native()] = {entry.size, entry.isDirectory};
    }
    const std::map<std::wstring, std::pair<std::uint64_t, bool>> expected{
        {L"a.txt", {5, false}},
        {L"sub", {0, true}},
        {L"sub\\b.bin", {300, false}},
        {L"sub\\deeper", {0, true}},
        {L"sub\\deeper\\c.txt", {0, false}},
        {L"empty", {0, true}}};
    EXPECT_EQ(listed, expected);
    const auto position = [&](const wchar_t* path) {
        return std::find_if(entries.begin(), entries.end(),
                            [&](const TreeEntry& entry) { return entry.relativePath == path; });
    };
    EXPECT_LT(position(L"sub"), position(L"sub\\deeper"));
    EXPECT_LT(position(L"sub\\deeper"), position(L"sub\\deeper\\c.txt"));
}

TEST(TreeListingTest, EmptyFolderGivesNoEntries) {
    test::TempFolder temp;
    std::uint64_t total = 7;
    EXPECT_TRUE(listTree(temp.path(), total).empty());
    EXPECT_EQ(total, 0U);
}

TEST(TreeListingTest, MissingSourceNamesTheFailingOperation) {
    test::TempFolder temp;
    std::uint64_t total = 0;
    try {
        listTree(temp / L"missing", total);
        FAIL() << "no error";
    } catch (const fs::filesystem_error& error) {
        EXPECT_NE(std::string(error.what())
                      .find("recursive_directory_iterator::recursive_directory_iterator"),
                  std::string::npos)
            << error.what();
        EXPECT_EQ(error.path1(), temp / L"missing");
        EXPECT_NE(error.code().value(), 0);
    }
}

} // namespace
} // namespace hub

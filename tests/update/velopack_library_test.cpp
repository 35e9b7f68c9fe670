#include "update/velopack_library.h"

#include "fake_velopack.h"

#include <gtest/gtest.h>

namespace hub {
namespace {

TEST(VelopackLibraryTest, LoadsTheLibraryBesideTheExecutable) {
    const VelopackLibrary* library = VelopackLibrary::besideExecutable();
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(VelopackLibrary::besideExecutable(), library) << "loaded once";
    for (const bool resolved :
         {library->appRun != nullptr, library->newUpdateManager != nullptr,
          library->isPortable != nullptr, library->checkForUpdates != nullptr,
          library->freeUpdateInfo != nullptr, library->downloadUpdates != nullptr,
          library->waitExitThenApplyUpdates != nullptr, library->freeUpdateManager != nullptr,
          library->getLastError != nullptr}) {
        EXPECT_TRUE(resolved);
    }
}

TEST(VelopackLibraryTest, LoadsFromTheGivenFolderOnly) {
    test::TempFolder empty;
    EXPECT_EQ(VelopackLibrary::load(empty.path()), nullptr);
    EXPECT_NE(VelopackLibrary::load(test::testFolder()), nullptr);
}

TEST(VelopackLibraryTest, RefusesAFileThatIsNoLibrary) {
    test::TempFolder folder;
    test::writeFile(folder / "velopack_libc.dll", "MZ but nothing else");
    EXPECT_EQ(VelopackLibrary::load(folder.path()), nullptr);
}

// A library of the older interface generation hands out update records of another layout;
// it must never be used.
TEST(VelopackLibraryTest, RefusesTheOlderInterface) {
    const auto folder = test::testFolder() / "velopack-old";
    const HMODULE old = LoadLibraryExW((folder / VelopackLibrary::fileName).c_str(), nullptr,
                                       LOAD_WITH_ALTERED_SEARCH_PATH);
    ASSERT_NE(old, nullptr);
    EXPECT_NE(GetProcAddress(old, "vpkc_check_for_updates"), nullptr);
    EXPECT_EQ(GetProcAddress(old, "vpkc_new_source_github"), nullptr) << "not the current one";
    EXPECT_EQ(VelopackLibrary::load(folder), nullptr);
    FreeLibrary(old);
}

// The library writes one NUL past what it copies; the whole message must arrive all the same.
TEST(VelopackLibraryTest, ReadsTheWholeLastError) {
    const VelopackLibrary& library = *VelopackLibrary::besideExecutable();
    const std::string longText = std::string(5000, 'x') + "\nCaused by: \xC3\xA9"
                                                          "chec";
    for (const std::string& message : {std::string("e"), std::string("short reason"), longText}) {
        test::FakeVelopack fake({{"managerError", message}});
        void* manager = nullptr;
        ASSERT_FALSE(library.newUpdateManager("feed", nullptr, nullptr, &manager));
        EXPECT_EQ(library.lastError(), message);
    }
}

TEST(VelopackLibraryTest, LastErrorIsEmptyAfterSuccess) {
    const VelopackLibrary& library = *VelopackLibrary::besideExecutable();
    test::FakeVelopack fake;
    void* manager = nullptr;
    ASSERT_TRUE(library.newUpdateManager("feed", nullptr, nullptr, &manager));
    EXPECT_EQ(library.lastError(), "");
    library.freeUpdateManager(manager);
}

} // namespace
} // namespace hub

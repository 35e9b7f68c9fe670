#include "util/windows_error.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace hub {
namespace {

void expectNoTrailingPunctuation(const std::string& text) {
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find_last_of("\r\n"), std::string::npos) << text;
    EXPECT_NE(text.back(), '.') << text;
    EXPECT_NE(text.back(), ' ') << text;
}

TEST(WindowsErrorText, KnownCodesGiveTheSystemSentenceWithoutEnding) {
    for (const std::uint32_t code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED,
                                     ERROR_SHARING_VIOLATION, ERROR_ALREADY_EXISTS}) {
        const std::string text = windowsErrorText(code);
        expectNoTrailingPunctuation(text);
        EXPECT_EQ(text.rfind("Windows error ", 0), std::string::npos) << code;
    }
}

TEST(WindowsErrorText, UnknownCodesGiveTheUnsignedNumber) {
    EXPECT_EQ(windowsErrorText(0xFFFFFFFFU), "Windows error 4294967295");
    EXPECT_EQ(windowsErrorText(0x2000FFFFU), "Windows error 536936447");
}

TEST(WindowsError, JoinsMessageAndSystemText) {
    const std::runtime_error error = windowsError("Unable to copy a.txt", ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(std::string(error.what()),
              "Unable to copy a.txt: " + windowsErrorText(ERROR_FILE_NOT_FOUND));
}

} // namespace
} // namespace hub

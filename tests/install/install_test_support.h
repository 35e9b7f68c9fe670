#pragma once

#include <gtest/gtest.h>

#include <exception>
#include <string>

namespace hub::test {

// The what() text of the exception that the call throws; fails the test when it throws none.
template <typename Call> std::string errorText(Call&& call) {
    try {
        call();
    } catch (const std::exception& error) {
        return error.what();
    }
    ADD_FAILURE() << "an exception was expected";
    return {};
}

} // namespace hub::test

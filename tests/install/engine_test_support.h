#pragma once

#include "install/file_operations.h"
#include "install/operation_cancelled.h"
#include "util/executable_folder.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace hub::test {

// A small program built for the tests (see hub_add_test_program), found beside the test
// executable.
inline std::filesystem::path testProgram(const wchar_t* name) {
    return executableFolder() / name;
}

// The text of the exception a call ends with, exactly as the user would read it; "cancelled"
// for OperationCancelled and "no failure" when the call returns.
template <typename Call> std::string failureOf(Call call) {
    try {
        call();
    } catch (const OperationCancelled&) {
        return "cancelled";
    } catch (const std::exception& error) {
        return error.what();
    }
    return "no failure";
}

// Records the folder moves of a test and refuses chosen ones; removed again at scope exit.
class MoveRecorder {
public:
    using Refusal = std::function<std::optional<std::uint32_t>(const std::filesystem::path& from,
                                                               const std::filesystem::path& to)>;

    explicit MoveRecorder(Refusal refusal = {}) : refusal_(std::move(refusal)) {
        setMoveInterceptorForTesting(
            [this](const std::filesystem::path& from,
                   const std::filesystem::path& to) -> std::optional<std::uint32_t> {
                moves.emplace_back(from, to);
                return refusal_ ? refusal_(from, to) : std::nullopt;
            });
    }
    ~MoveRecorder() { setMoveInterceptorForTesting({}); }
    MoveRecorder(const MoveRecorder&) = delete;
    MoveRecorder& operator=(const MoveRecorder&) = delete;

    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> moves;

private:
    Refusal refusal_;
};

} // namespace hub::test

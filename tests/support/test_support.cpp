#include "support/test_support.h"

#include "util/executable_folder.h"

#include <windows.h>

#include <cstdlib>

namespace hub::test {

std::vector<std::string> ProgressRecorder::phases() const {
    std::vector<std::string> phases;
    for (const auto& [fraction, text] : reports) {
        if (phases.empty() || phases.back() != text) {
            phases.push_back(text);
        }
    }
    return phases;
}

ScopedVariable::ScopedVariable(std::wstring name, const std::wstring& value)
    : name_(std::move(name)) {
    std::wstring buffer(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(name_.c_str(), buffer.data(), 32768);
    if (length > 0) {
        saved_ = buffer.substr(0, length);
    }
    SetEnvironmentVariableW(name_.c_str(), value.c_str());
}

ScopedVariable::~ScopedVariable() {
    SetEnvironmentVariableW(name_.c_str(), saved_ ? saved_->c_str() : nullptr);
}

// Refused moves are retried at once.
MoveRecorder::MoveRecorder(Refusal refusal) : refusal_(std::move(refusal)) {
    setRenamePauseForTesting(0);
    setMoveInterceptorForTesting(
        [this](const std::filesystem::path& from,
               const std::filesystem::path& to) -> std::optional<std::uint32_t> {
            moves.emplace_back(from, to);
            return refusal_ ? refusal_(from, to) : std::nullopt;
        });
}

MoveRecorder::~MoveRecorder() {
    setMoveInterceptorForTesting({});
    setRenamePauseForTesting(150);
}

std::filesystem::path testProgram(const wchar_t* name) {
    return executableFolder() / name;
}

bool runningUnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

bool insideTestPrefix() {
    const char* prefix = std::getenv("HUB_TEST_PREFIX");
    return prefix != nullptr && *prefix != '\0' && runningUnderWine() &&
           GetFileAttributesW(L"C:\\hub-test-prefix.txt") != INVALID_FILE_ATTRIBUTES;
}

} // namespace hub::test

#pragma once

#include "support/test_files.h"
#include "util/unique_handle.h"

#include <windows.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace hub::test {

// Sets an environment variable of this process (and so of its children) for its lifetime.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(const wchar_t* name, const std::filesystem::path& value);
    ~ScopedEnvironmentVariable();
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    const wchar_t* name_;
};

// Scripts the test double of the update framework's library for one test (see
// tests/fakes/velopack/fake_velopack.cpp for the keys) and reads back the calls it received.
class FakeVelopack {
public:
    explicit FakeVelopack(nlohmann::json script = nlohmann::json::object());
    FakeVelopack(nlohmann::json::initializer_list_t script)
        : FakeVelopack(nlohmann::json(script)) {}

    // The calls so far, one line each, in order.
    [[nodiscard]] std::vector<std::string> journal() const;
    [[nodiscard]] const std::filesystem::path& folder() const noexcept { return folder_.path(); }

private:
    TempFolder folder_;
    std::filesystem::path journal_;
    ScopedEnvironmentVariable variable_;
};

// An event the double's download waits for ("holdDownload"), released by release() or at the
// end of the test.
class DownloadGate {
public:
    DownloadGate();
    ~DownloadGate();
    DownloadGate(const DownloadGate&) = delete;
    DownloadGate& operator=(const DownloadGate&) = delete;

    [[nodiscard]] const std::string& name() const noexcept { return name_; }
    void release() const noexcept;

private:
    std::string name_;
    UniqueHandle event_;
};

// Polls the condition until it holds or the time is up; returns its last value.
bool waitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(10));

// The test executable's folder, where the build puts the double and its helpers.
std::filesystem::path testFolder();

} // namespace hub::test

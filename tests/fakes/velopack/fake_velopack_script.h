#pragma once

#include "support/test_support.h"
#include "util/unique_handle.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace hub::test {

// Scripts the test double of the update framework's library for one test (see
// fake_velopack.cpp for the keys) and reads back the calls it received.
class FakeVelopack {
public:
    explicit FakeVelopack(nlohmann::json script = nlohmann::json::object());
    FakeVelopack(nlohmann::json::initializer_list_t script)
        : FakeVelopack(nlohmann::json(script)) {}

    // The calls so far, one line each, in order.
    [[nodiscard]] std::vector<std::string> journal() const;

private:
    TempFolder folder_;
    std::filesystem::path journal_;
    ScopedVariable variable_;
};

// An event the double's check or download waits for ("holdCheck", "holdDownload"), released
// by release() or at the end of the test.
class DownloadGate {
public:
    DownloadGate();
    ~DownloadGate() { release(); }
    DownloadGate(const DownloadGate&) = delete;
    DownloadGate& operator=(const DownloadGate&) = delete;

    [[nodiscard]] const std::string& name() const noexcept { return name_; }
    void release() const noexcept;

private:
    std::string name_;
    UniqueHandle event_;
};

} // namespace hub::test

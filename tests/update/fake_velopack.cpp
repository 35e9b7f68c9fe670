#include "fake_velopack.h"

#include "util/executable_folder.h"
#include "util/text.h"

#include <atomic>
#include <sstream>
#include <thread>

namespace hub::test {

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const wchar_t* name,
                                                     const std::filesystem::path& value)
    : name_(name) {
    SetEnvironmentVariableW(name_, value.c_str());
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
    SetEnvironmentVariableW(name_, nullptr);
}

namespace {

std::filesystem::path writeScript(const std::filesystem::path& folder, nlohmann::json script,
                                  const std::filesystem::path& journal) {
    script["journal"] = toUtf8(journal.native());
    const auto file = folder / "script.json";
    writeFile(file, script.dump());
    return file;
}

} // namespace

FakeVelopack::FakeVelopack(nlohmann::json script)
    : journal_(folder_ / "journal.txt"),
      variable_(L"HUB_FAKE_VELOPACK", writeScript(folder_.path(), std::move(script), journal_)) {}

std::vector<std::string> FakeVelopack::journal() const {
    std::vector<std::string> lines;
    if (!std::filesystem::exists(journal_)) {
        return lines;
    }
    std::istringstream text(readFile(journal_));
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    return lines;
}

DownloadGate::DownloadGate() {
    static std::atomic<unsigned> counter{0};
    name_ = "Local\\hub-test-download-gate-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(counter++);
    event_.reset(CreateEventW(nullptr, TRUE, FALSE, toWide(name_).c_str()));
}

DownloadGate::~DownloadGate() {
    release();
}

void DownloadGate::release() const noexcept {
    SetEvent(event_.get());
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::filesystem::path testFolder() {
    return executableFolder();
}

} // namespace hub::test

#include "fake_velopack_script.h"

#include "util/text.h"

#include <windows.h>

#include <atomic>
#include <sstream>

namespace hub::test {

namespace {

std::wstring writeScript(const std::filesystem::path& folder, nlohmann::json script,
                         const std::filesystem::path& journal) {
    script["journal"] = toUtf8(journal.native());
    const auto file = folder / "script.json";
    writeFile(file, script.dump());
    return file.native();
}

} // namespace

FakeVelopack::FakeVelopack(nlohmann::json script)
    : journal_(folder_ / "journal.txt"),
      variable_(L"HUB_FAKE_VELOPACK", writeScript(folder_.path(), std::move(script), journal_)) {}

std::vector<std::string> FakeVelopack::journal() const {
    std::vector<std::string> lines;
    std::istringstream text(std::filesystem::exists(journal_) ? readFile(journal_) : "");
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

void DownloadGate::release() const noexcept {
    SetEvent(event_.get());
}

} // namespace hub::test

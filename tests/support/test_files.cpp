#include "support/test_files.h"

#include "util/paths.h"
#include "util/text.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <stdexcept>

namespace hub::test {

namespace {

// Below the system's temporary folder, named after the process and a counter.
std::filesystem::path uniqueTempFolder() {
    static std::atomic<unsigned> counter{0};
    for (;;) {
        auto candidate = std::filesystem::temp_directory_path() /
                         (L"hub-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                          std::to_wstring(counter++));
        if (std::filesystem::create_directories(candidate)) {
            return candidate;
        }
    }
}

bool endsWithSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

} // namespace

TempFolder::TempFolder() : path_(uniqueTempFolder()) {}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        throw std::runtime_error("cannot read " + pathToUtf8(file));
    }
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

void writeFile(const std::filesystem::path& file, std::string_view content) {
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!stream.flush()) {
        throw std::runtime_error("cannot write " + pathToUtf8(file));
    }
}

void makeTree(const std::filesystem::path& root, const FileTree& tree) {
    std::filesystem::create_directories(root);
    for (const auto& [relative, content] : tree) {
        const auto path = (root / toWide(relative)).lexically_normal();
        if (endsWithSeparator(relative)) {
            std::filesystem::create_directories(path);
            continue;
        }
        std::filesystem::create_directories(path.parent_path());
        writeFile(path, content);
    }
}

FileTree readTree(const std::filesystem::path& root) {
    FileTree tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        auto relative = pathToUtf8(entry.path().lexically_relative(root).generic_wstring());
        if (entry.is_directory()) {
            tree.emplace(relative + "/", "");
        } else {
            tree.emplace(relative, readFile(entry.path()));
        }
    }
    return tree;
}

FileTree communityPackageArchive(const std::string& version, const FileTree& files) {
    const std::string folder = "orvantis-aircraft-velmora-weapons/";
    FileTree tree{{folder + "manifest.json", R"({"package_version": ")" + version + "\"}"}};
    for (const auto& [name, content] : files) {
        tree.emplace(folder + name, content);
    }
    return tree;
}

std::vector<std::string> logMessages(const std::filesystem::path& file) {
    constexpr std::size_t timestampLength = 21; // "YYYY-MM-DD hh:mm:ss  "
    std::vector<std::string> messages;
    std::ifstream stream(file, std::ios::binary);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        messages.push_back(line.size() > timestampLength ? line.substr(timestampLength) : "");
    }
    return messages;
}

} // namespace hub::test

#pragma once

#include "catalog/catalog.h"
#include "install/engine_test_support.h"
#include "install/progress_callback.h"
#include "settings/activity_log.h"
#include "support/https_test_server.h"
#include "support/test_files.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace hub::test {

inline constexpr char communityPackageId[] = "velmora-weapons-patch";
inline constexpr char applicationId[] = "orv-camera";

// A component of the built-in catalog whose archive comes from the given address instead.
inline CatalogComponent builtInComponent(std::string_view id,
                                         std::string downloadUrl = "https://localhost:1/p.zip") {
    CatalogComponent component = componentById(buildCatalog(), id);
    component.downloadUrl = std::move(downloadUrl);
    return component;
}

// What a community package's archive holds: the package folder with a "manifest.json" of the
// version, and the files (relative to that folder).
inline FileTree communityPackageArchive(const std::string& version, const FileTree& files = {}) {
    const std::string folder = "orvantis-aircraft-velmora-weapons/";
    FileTree tree{{folder + "manifest.json", R"({"package_version": ")" + version + "\"}"}};
    for (const auto& [name, content] : files) {
        tree.emplace(folder + name, content);
    }
    return tree;
}

// What an application's archive holds: the executable at its root, and the files.
inline FileTree applicationArchive(const FileTree& files = {}) {
    FileTree tree{{"ORV-Camera.exe", "MZ the application"}};
    tree.insert(files.begin(), files.end());
    return tree;
}

// Lets the server answer the path with a zip archive of the tree.
inline void serveArchive(HttpsTestServer& server, std::string_view path, const FileTree& tree) {
    const TempFolder scratch;
    writeZip(scratch / L"archive.zip", tree);
    server.answer(path, {.body = readFile(scratch / L"archive.zip")});
}

// The messages of an activity log file, without their time stamps; none when it is missing.
inline std::vector<std::string> logMessages(const std::filesystem::path& file) {
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

using ProgressReport = std::pair<double, std::string>;

// What an operation test works with: a temporary root holding the activity log "hub.log", a
// cancel flag, and a progress callback that records every report.
class OperationTest : public testing::Test {
protected:
    [[nodiscard]] std::vector<std::string> logged() const { return logMessages(root / L"hub.log"); }

    TempFolder root;
    ActivityLog log{root / L"hub.log"};
    std::atomic<bool> cancel{false};
    std::vector<ProgressReport> reports;
    ProgressCallback progress = [this](double fraction, const std::string& text) {
        reports.emplace_back(fraction, text);
    };
};

} // namespace hub::test

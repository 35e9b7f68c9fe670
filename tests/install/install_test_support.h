#pragma once

#include "catalog/catalog.h"

#include <gtest/gtest.h>

#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

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

inline constexpr char communityPackageId[] = "velmora-weapons-patch";
inline constexpr char applicationId[] = "orv-camera";

// A component of the built-in catalog whose archive comes from the given address instead.
inline CatalogComponent builtInComponent(std::string_view id,
                                         std::string downloadUrl = "https://localhost:1/p.zip") {
    CatalogComponent component = componentById(buildCatalog(), id);
    component.downloadUrl = std::move(downloadUrl);
    return component;
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

} // namespace hub::test

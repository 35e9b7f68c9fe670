#include "install/disk_space.h"

#include "util/paths.h"
#include "util/text.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>

namespace hub {

namespace {

// The root of the volume that holds the path, such as "C:\" or a mounted folder; a path that
// does not exist yet is asked through its nearest existing ancestor.
std::optional<std::wstring> volumeOf(std::filesystem::path path) {
    while (!pathExists(path) && path.has_relative_path()) {
        path = path.parent_path();
    }
    std::wstring root(MAX_PATH + 1, L'\0');
    if (!GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size()))) {
        return std::nullopt;
    }
    root.resize(root.find(L'\0'));
    return root;
}

} // namespace

void requireDiskSpace(const std::filesystem::path& path, std::uint64_t bytes,
                      const std::string& name) {
    const auto volume = volumeOf(path);
    ULARGE_INTEGER available{};
    if (!volume || !GetDiskFreeSpaceExW(volume->c_str(), &available, nullptr, nullptr) ||
        available.QuadPart >= bytes) {
        return;
    }
    throw std::runtime_error("Not enough disk space on " + toUtf8(*volume) + " to install " + name +
                             ": " + readableSize(bytes) + " needed, " +
                             readableSize(available.QuadPart) + " free.");
}

bool onSameVolume(const std::filesystem::path& a, const std::filesystem::path& b) {
    const auto first = volumeOf(a);
    const auto second = volumeOf(b);
    return first && second && samePath(*first, *second);
}

std::string readableSize(std::uint64_t bytes) {
    constexpr double kilo = 1024.0;
    const auto value = static_cast<double>(bytes);
    char text[32];
    if (value < kilo * kilo) {
        std::snprintf(text, sizeof(text), "%.0f KB", std::ceil(value / kilo));
    } else if (value < kilo * kilo * kilo) {
        std::snprintf(text, sizeof(text), "%.1f MB", value / (kilo * kilo));
    } else {
        std::snprintf(text, sizeof(text), "%.1f GB", value / (kilo * kilo * kilo));
    }
    return text;
}

} // namespace hub

#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace hub {

// The total size of the files in a zip archive once unpacked, read from its central directory
// (ZIP64 records included) without unpacking anything. Empty when the file is not a zip archive
// that can be read: its extraction then fails on its own.
std::optional<std::uint64_t> unpackedSize(const std::filesystem::path& archive);

} // namespace hub

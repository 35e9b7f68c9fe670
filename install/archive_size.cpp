#include "install/archive_size.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <string>

namespace hub {

namespace {

// Signatures and fixed sizes of the zip records read here (APPNOTE 4.3.12 to 4.3.16).
constexpr std::uint32_t endSignature = 0x06054b50;
constexpr std::uint32_t zip64EndSignature = 0x06064b50;
constexpr std::uint32_t zip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t entrySignature = 0x02014b50;
constexpr std::size_t endBytes = 22;
constexpr std::size_t locatorBytes = 20;
constexpr std::size_t zip64EndBytes = 56;
constexpr std::size_t entryBytes = 46;
constexpr std::size_t longestComment = 65'535;
constexpr std::uint16_t zip64ExtraId = 0x0001;
constexpr std::uint32_t escaped32 = 0xFFFFFFFF;
// A directory larger than this is no package's: 2 GiB of archive cannot hold so many entries.
constexpr std::uint64_t largestDirectory = 256ull << 20;

std::uint64_t little(const std::string& bytes, std::size_t at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t index = width; index-- > 0;) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + index]);
    }
    return value;
}

class ArchiveReader {
public:
    explicit ArchiveReader(const std::filesystem::path& archive)
        : file_(archive, std::ios::binary) {
        file_.seekg(0, std::ios::end);
        size_ = file_ ? static_cast<std::uint64_t>(file_.tellg()) : 0;
    }

    [[nodiscard]] std::uint64_t size() const noexcept { return size_; }

    // count bytes at offset; empty when they are not all there.
    std::string read(std::uint64_t offset, std::uint64_t count) {
        if (offset > size_ || count > size_ - offset) {
            return {};
        }
        std::string bytes(count, '\0');
        file_.seekg(static_cast<std::streamoff>(offset));
        file_.read(bytes.data(), static_cast<std::streamsize>(count));
        return file_ ? bytes : std::string{};
    }

private:
    std::ifstream file_;
    std::uint64_t size_ = 0;
};

struct Directory {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint64_t entries = 0;
};

// The central directory as the end records give it: the last end record's values, or the
// ZIP64 end record's when the locator before it points at one.
std::optional<Directory> findDirectory(ArchiveReader& reader) {
    const std::uint64_t tail = std::min<std::uint64_t>(reader.size(), endBytes + longestComment);
    const std::string bytes = reader.read(reader.size() - tail, tail);
    if (bytes.size() < endBytes) {
        return std::nullopt;
    }
    std::size_t end = bytes.size() - endBytes + 1;
    do {
        --end;
    } while (end > 0 && little(bytes, end, 4) != endSignature);
    if (little(bytes, end, 4) != endSignature) {
        return std::nullopt;
    }
    Directory directory{little(bytes, end + 16, 4), little(bytes, end + 12, 4),
                        little(bytes, end + 10, 2)};
    const std::uint64_t endOffset = reader.size() - tail + end;
    const std::string locator =
        endOffset >= locatorBytes ? reader.read(endOffset - locatorBytes, locatorBytes) : "";
    if (!locator.empty() && little(locator, 0, 4) == zip64LocatorSignature) {
        const std::string record = reader.read(little(locator, 8, 8), zip64EndBytes);
        if (record.empty() || little(record, 0, 4) != zip64EndSignature) {
            return std::nullopt;
        }
        directory = {little(record, 48, 8), little(record, 40, 8), little(record, 32, 8)};
    }
    return directory;
}

// The entry's unpacked size: its 32-bit field, or the first value of its ZIP64 extra field
// when that field is escaped.
std::optional<std::uint64_t> entrySize(const std::string& bytes, std::size_t at,
                                       std::size_t extraAt, std::size_t extraEnd) {
    const std::uint64_t size = little(bytes, at + 24, 4);
    if (size != escaped32) {
        return size;
    }
    for (std::size_t field = extraAt; field + 4 <= extraEnd;
         field += 4 + little(bytes, field + 2, 2)) {
        if (little(bytes, field, 2) == zip64ExtraId && little(bytes, field + 2, 2) >= 8 &&
            field + 12 <= extraEnd) {
            return little(bytes, field + 4, 8);
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::uint64_t> unpackedSize(const std::filesystem::path& archive) {
    ArchiveReader reader(archive);
    const auto directory = findDirectory(reader);
    if (!directory || directory->size > largestDirectory) {
        return std::nullopt;
    }
    const std::string bytes = reader.read(directory->offset, directory->size);
    if (bytes.size() != directory->size) {
        return std::nullopt;
    }
    std::uint64_t total = 0;
    std::size_t at = 0;
    for (std::uint64_t entry = 0; entry < directory->entries; ++entry) {
        if (at + entryBytes > bytes.size() || little(bytes, at, 4) != entrySignature) {
            return std::nullopt;
        }
        const std::size_t extraAt = at + entryBytes + little(bytes, at + 28, 2);
        const std::size_t extraEnd = extraAt + little(bytes, at + 30, 2);
        const auto size = entrySize(bytes, at, extraAt, std::min(extraEnd, bytes.size()));
        if (!size) {
            return std::nullopt;
        }
        // Sizes made up to wrap the sum around would pass any check: the sum stops at the top.
        constexpr auto top = std::numeric_limits<std::uint64_t>::max();
        total = *size > top - total ? top : total + *size;
        at = extraEnd + little(bytes, at + 32, 2);
    }
    return total;
}

} // namespace hub

// A stand-in for the tar.exe that Windows keeps in its system folder, for the test prefix
// (Wine has none). It understands only the command that the hub gives the real tool:
//
//     tar.exe -xf "archive.zip" -C "folder"
//
// It unpacks stored and deflated zip entries (names in UTF-8 or code page 437, sizes in the
// local header or in a data descriptor), checks every size and CRC, and, like the real tool,
// refuses entries with absolute paths, drive letters or ".." components. Every name is checked
// before anything is written. With HUB_TAR_STANDIN_PAUSE set it waits forever before it starts,
// as a slow extraction that only ending the process stops. Exit code 0 on success, 1 for an archive
// that is damaged, refused or unsupported, 2 for any other command line.

#include "util/unique_handle.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using hub::UniqueHandle;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

constexpr std::uint32_t endOfCentralDirectorySignature = 0x06054b50;
constexpr std::uint32_t centralHeaderSignature = 0x02014b50;
constexpr std::uint32_t localHeaderSignature = 0x04034b50;
constexpr std::uint16_t encryptedFlag = 0x0001;
constexpr std::uint16_t utf8NamesFlag = 0x0800;
constexpr std::uint16_t storedMethod = 0;
constexpr std::uint16_t deflatedMethod = 8;
constexpr std::size_t outputChunk = 1 << 16;

// The whole archive, mapped read-only, with bounds-checked little-endian reads.
class Archive {
public:
    explicit Archive(const std::wstring& path) {
        file_.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        if (!file_ || !GetFileSizeEx(file_.get(), &size)) {
            throw Failure("cannot open the archive");
        }
        size_ = static_cast<std::size_t>(size.QuadPart);
        if (size_ == 0) {
            throw Failure("the archive is empty");
        }
        mapping_.reset(CreateFileMappingW(file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
        data_ = mapping_ ? static_cast<const unsigned char*>(
                               MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0))
                         : nullptr;
        if (data_ == nullptr) {
            throw Failure("cannot map the archive");
        }
    }
    ~Archive() { UnmapViewOfFile(data_); }
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    [[nodiscard]] std::size_t size() const noexcept { return size_; }

    [[nodiscard]] const unsigned char* bytes(std::size_t offset, std::size_t count) const {
        if (offset > size_ || count > size_ - offset) {
            throw Failure("the archive is truncated");
        }
        return data_ + offset;
    }
    [[nodiscard]] std::uint16_t u16(std::size_t offset) const {
        const unsigned char* p = bytes(offset, 2);
        return static_cast<std::uint16_t>(p[0] | p[1] << 8);
    }
    [[nodiscard]] std::uint32_t u32(std::size_t offset) const {
        return u16(offset) | static_cast<std::uint32_t>(u16(offset + 2)) << 16;
    }

private:
    UniqueHandle file_;
    UniqueHandle mapping_;
    const unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

struct Entry {
    std::filesystem::path relativePath;
    bool isFolder = false;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint32_t packedSize = 0;
    std::uint32_t size = 0;
    const unsigned char* packed = nullptr;
};

std::wstring decodeName(std::string_view raw, bool utf8) {
    const UINT codePage = utf8 ? CP_UTF8 : 437;
    const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, raw.data(),
                                           static_cast<int>(raw.size()), nullptr, 0);
    std::wstring name(static_cast<std::size_t>(length), L'\0');
    if (length <= 0 ||
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, raw.data(),
                            static_cast<int>(raw.size()), name.data(), length) != length) {
        throw Failure("an entry name cannot be decoded");
    }
    return name;
}

// The name as a relative path below the destination; absolute paths, drive letters, streams
// and ".." components are refused.
std::filesystem::path safeRelativePath(std::wstring name) {
    for (auto& c : name) {
        c = c == L'/' ? L'\\' : c;
    }
    if (name.empty() || name.front() == L'\\' || name.find(L':') != std::wstring::npos) {
        throw Failure("refusing an absolute path in the archive");
    }
    const std::filesystem::path path(name);
    for (const auto& part : path) {
        if (part == L"..") {
            throw Failure("refusing a path with \"..\" in the archive");
        }
    }
    return path;
}

std::size_t findEndOfCentralDirectory(const Archive& archive) {
    constexpr std::size_t recordSize = 22;
    constexpr std::size_t longestComment = 0xFFFF;
    if (archive.size() < recordSize) {
        throw Failure("not a zip archive");
    }
    const std::size_t last = archive.size() - recordSize;
    const std::size_t first = last > longestComment ? last - longestComment : 0;
    for (std::size_t offset = last + 1; offset-- > first;) {
        if (archive.u32(offset) == endOfCentralDirectorySignature) {
            return offset;
        }
    }
    throw Failure("not a zip archive");
}

std::vector<Entry> readEntries(const Archive& archive) {
    const std::size_t end = findEndOfCentralDirectory(archive);
    const std::uint16_t count = archive.u16(end + 10);
    std::size_t offset = archive.u32(end + 16);
    if (count == 0xFFFF || offset == 0xFFFFFFFF) {
        throw Failure("zip64 archives are not supported");
    }
    std::vector<Entry> entries;
    for (std::uint16_t index = 0; index < count; ++index) {
        if (archive.u32(offset) != centralHeaderSignature) {
            throw Failure("the central directory is damaged");
        }
        const std::uint16_t flags = archive.u16(offset + 8);
        const std::uint16_t nameLength = archive.u16(offset + 28);
        const auto* name = reinterpret_cast<const char*>(archive.bytes(offset + 46, nameLength));
        const std::string_view rawName(name, nameLength);
        Entry entry{safeRelativePath(decodeName(rawName, (flags & utf8NamesFlag) != 0)),
                    rawName.back() == '/' || rawName.back() == '\\',
                    archive.u16(offset + 10),
                    archive.u32(offset + 16),
                    archive.u32(offset + 20),
                    archive.u32(offset + 24),
                    nullptr};
        if ((flags & encryptedFlag) != 0) {
            throw Failure("encrypted entries are not supported");
        }
        if (entry.method != storedMethod && entry.method != deflatedMethod) {
            throw Failure("unsupported compression method " + std::to_string(entry.method));
        }
        const std::size_t local = archive.u32(offset + 42);
        if (archive.u32(local) != localHeaderSignature) {
            throw Failure("a local header is damaged");
        }
        entry.packed = archive.bytes(local + 30 + archive.u16(local + 26) + archive.u16(local + 28),
                                     entry.packedSize);
        entries.push_back(std::move(entry));
        offset += 46 + nameLength + archive.u16(offset + 30) + archive.u16(offset + 32);
    }
    return entries;
}

// Writes the unpacked bytes of one file and keeps its running size and CRC.
class OutputFile {
public:
    explicit OutputFile(const std::filesystem::path& path)
        : handle_(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {
        if (!handle_) {
            throw Failure("cannot create a file in the destination");
        }
    }
    void write(const unsigned char* data, std::size_t count) {
        crc_ = crc32_z(crc_, data, count);
        size_ += count;
        DWORD written = 0;
        if (count != 0 &&
            (!WriteFile(handle_.get(), data, static_cast<DWORD>(count), &written, nullptr) ||
             written != count)) {
            throw Failure("cannot write a file in the destination");
        }
    }
    void check(const Entry& entry) const {
        if (size_ != entry.size || crc_ != entry.crc) {
            throw Failure("a CRC or size check failed");
        }
    }

private:
    UniqueHandle handle_;
    unsigned long crc_ = crc32_z(0, nullptr, 0);
    std::uint64_t size_ = 0;
};

void inflateInto(OutputFile& output, const Entry& entry) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
        throw Failure("cannot start decompression");
    }
    // Even an empty file needs a real output buffer, or inflate reports an error.
    std::vector<unsigned char> buffer(outputChunk);
    stream.next_in = const_cast<unsigned char*>(entry.packed);
    stream.avail_in = entry.packedSize;
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = buffer.data();
        stream.avail_out = static_cast<uInt>(buffer.size());
        status = inflate(&stream, Z_NO_FLUSH);
        if (status == Z_OK || status == Z_STREAM_END) {
            output.write(buffer.data(), buffer.size() - stream.avail_out);
        }
        if (status == Z_OK && stream.avail_in == 0 && stream.avail_out != 0) {
            status = Z_DATA_ERROR;
        }
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END) {
        throw Failure("compressed data is damaged");
    }
}

// Creates the folder and its missing parents with the system call alone; std::filesystem asks
// for the status of every ancestor, which costs milliseconds per file under Wine.
void makeFolders(const std::filesystem::path& folder) {
    if (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
        return;
    }
    if (GetLastError() == ERROR_PATH_NOT_FOUND && folder.parent_path() != folder) {
        makeFolders(folder.parent_path());
        if (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
            return;
        }
    }
    throw Failure("cannot create a folder in the destination");
}

void extractFile(const Entry& entry, const std::filesystem::path& to) {
    OutputFile output(to);
    if (entry.method == deflatedMethod) {
        inflateInto(output, entry);
    } else {
        for (std::size_t done = 0; done < entry.packedSize; done += outputChunk) {
            output.write(entry.packed + done,
                         std::min<std::size_t>(outputChunk, entry.packedSize - done));
        }
    }
    output.check(entry);
}

// Long-path form for a drive path, so that deep package trees can be written.
std::filesystem::path destinationRoot(const std::wstring& folder) {
    std::wstring text = std::filesystem::absolute(folder).lexically_normal().native();
    if (text.size() >= 3 && text[1] == L':' && text[2] == L'\\') {
        text.insert(0, L"\\\\?\\");
    }
    return text;
}

void extract(const std::wstring& archivePath, const std::wstring& folder) {
    const Archive archive(archivePath);
    const auto entries = readEntries(archive);
    const auto root = destinationRoot(folder);
    std::filesystem::path lastFolder;
    for (const auto& entry : entries) {
        const auto target = root / entry.relativePath;
        const auto folderOfEntry = entry.isFolder ? target : target.parent_path();
        if (folderOfEntry != lastFolder) {
            makeFolders(folderOfEntry);
            lastFolder = folderOfEntry;
        }
        if (!entry.isFolder) {
            extractFile(entry, target);
        }
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5 || std::wstring_view(argv[1]) != L"-xf" || std::wstring_view(argv[3]) != L"-C") {
        std::fputs("usage: tar.exe -xf ARCHIVE -C FOLDER\n", stderr);
        return 2;
    }
    if (GetEnvironmentVariableW(L"HUB_TAR_STANDIN_PAUSE", nullptr, 0) > 0) {
        Sleep(INFINITE);
    }
    try {
        extract(argv[2], argv[4]);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tar.exe: %s\n", error.what());
        return 1;
    }
}

#include "zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace hub::test {

namespace {

constexpr std::uint16_t dataDescriptorFlag = 0x0008;
constexpr std::uint16_t utf8NamesFlag = 0x0800;
constexpr std::uint16_t versionNeeded = 20;
constexpr std::uint16_t firstDosDate = 0x21; // 1980-01-01
constexpr std::uint32_t folderAttribute = 0x10;

void put16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

std::uint32_t checked32(std::size_t value) {
    if (value > 0xFFFFFFFEu) {
        throw std::runtime_error("zip entry too large for a test archive");
    }
    return static_cast<std::uint32_t>(value);
}

std::string deflated(std::string_view content) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2 failed");
    }
    std::string packed(deflateBound(&stream, checked32(content.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    stream.avail_in = checked32(content.size());
    stream.next_out = reinterpret_cast<Bytef*>(packed.data());
    stream.avail_out = checked32(packed.size());
    const int status = deflate(&stream, Z_FINISH);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END) {
        throw std::runtime_error("deflate failed");
    }
    return packed;
}

// The fields that the local and the central header share, from "version needed" to the
// extra field length.
struct CommonHeader {
    std::uint16_t flags;
    std::uint16_t method;
    std::uint32_t crc;
    std::uint32_t packedSize;
    std::uint32_t size;
    std::uint16_t nameLength;

    void appendTo(std::string& out, bool withSizes) const {
        put16(out, versionNeeded);
        put16(out, flags);
        put16(out, method);
        put16(out, 0);
        put16(out, firstDosDate);
        put32(out, withSizes ? crc : 0);
        put32(out, withSizes ? packedSize : 0);
        put32(out, withSizes ? size : 0);
        put16(out, nameLength);
        put16(out, 0);
    }
};

} // namespace

ZipWriter::ZipWriter(const std::filesystem::path& file)
    : stream_(file, std::ios::binary | std::ios::trunc) {
    if (!stream_) {
        throw std::runtime_error("cannot create the zip file");
    }
}

void ZipWriter::addFolder(std::string_view name) {
    addEntry(name, {}, {ZipMethod::Stored, false});
}

void ZipWriter::addFile(std::string_view name, std::string_view content, ZipEntryOptions options) {
    addEntry(name, content, options);
}

void ZipWriter::addEntry(std::string_view name, std::string_view content, ZipEntryOptions options) {
    const bool deflate = options.method == ZipMethod::Deflated;
    const std::string packed = deflate ? deflated(content) : std::string(content);
    const bool nonAscii =
        std::any_of(name.begin(), name.end(), [](char c) { return (c & 0x80) != 0; });
    const CommonHeader header{
        static_cast<std::uint16_t>((options.dataDescriptor ? dataDescriptorFlag : 0) |
                                   (nonAscii ? utf8NamesFlag : 0)),
        static_cast<std::uint16_t>(deflate ? 8 : 0),
        static_cast<std::uint32_t>(
            crc32_z(0, reinterpret_cast<const Bytef*>(content.data()), content.size())),
        checked32(packed.size()),
        checked32(content.size()),
        static_cast<std::uint16_t>(name.size())};

    std::string local;
    put32(local, 0x04034b50);
    header.appendTo(local, !options.dataDescriptor);
    local += name;
    const std::uint32_t localOffset = offset_;
    write(local);
    write(packed);
    if (options.dataDescriptor) {
        std::string descriptor;
        put32(descriptor, 0x08074b50);
        put32(descriptor, header.crc);
        put32(descriptor, header.packedSize);
        put32(descriptor, header.size);
        write(descriptor);
    }

    put32(centralDirectory_, 0x02014b50);
    put16(centralDirectory_, versionNeeded);
    header.appendTo(centralDirectory_, true);
    put16(centralDirectory_, 0); // comment length
    put16(centralDirectory_, 0); // disk
    put16(centralDirectory_, 0); // internal attributes
    put32(centralDirectory_, !name.empty() && name.back() == '/' ? folderAttribute : 0);
    put32(centralDirectory_, localOffset);
    centralDirectory_ += name;
    ++count_;
}

void ZipWriter::finish() {
    std::string end;
    put32(end, 0x06054b50);
    put16(end, 0);
    put16(end, 0);
    put16(end, count_);
    put16(end, count_);
    put32(end, checked32(centralDirectory_.size()));
    put32(end, offset_);
    put16(end, 0);
    write(centralDirectory_);
    write(end);
    if (!stream_.flush()) {
        throw std::runtime_error("cannot write the zip file");
    }
    stream_.close();
}

void ZipWriter::write(const std::string& bytes) {
    stream_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    offset_ = checked32(offset_ + bytes.size());
}

void writeZip(const std::filesystem::path& file, const FileTree& tree, ZipEntryOptions options) {
    ZipWriter zip(file);
    for (const auto& [name, content] : tree) {
        std::string zipName = name;
        std::replace(zipName.begin(), zipName.end(), '\\', '/');
        if (zipName.back() == '/') {
            zip.addFolder(zipName);
        } else {
            zip.addFile(zipName, content, options);
        }
    }
    zip.finish();
}

std::string zipArchive(const FileTree& tree, ZipEntryOptions options) {
    const TempFolder scratch;
    writeZip(scratch / L"archive.zip", tree, options);
    return readFile(scratch / L"archive.zip");
}

void serveArchive(HttpsTestServer& server, std::string_view path, const FileTree& tree) {
    server.answer(path, {.body = zipArchive(tree), .sidecar = true});
}

} // namespace hub::test

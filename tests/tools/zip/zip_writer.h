#pragma once

#include "harness/https_test_server.h"
#include "support/test_support.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace hub::test {

enum class ZipMethod { Stored, Deflated };

struct ZipEntryOptions {
    ZipMethod method = ZipMethod::Deflated;
    // Sizes and CRC follow the data in a data descriptor instead of the local header, as
    // streaming zip writers do.
    bool dataDescriptor = false;
};

// Writes a zip archive entry by entry, for packages that tests and benchmarks make on the
// fly. Names use '/' and are flagged as UTF-8 when they hold non-ASCII bytes; a folder's
// name ends with '/'. The central directory is written by finish().
class ZipWriter {
public:
    explicit ZipWriter(const std::filesystem::path& file);

    void addFolder(std::string_view name);
    void addFile(std::string_view name, std::string_view content, ZipEntryOptions options = {});
    void finish();

private:
    void addEntry(std::string_view name, std::string_view content, ZipEntryOptions options);
    void write(const std::string& bytes);

    std::ofstream stream_;
    std::string centralDirectory_;
    std::uint32_t offset_ = 0;
    std::uint16_t count_ = 0;
};

// An archive of the tree (names ending with a separator are folders), every entry with the
// same options.
void writeZip(const std::filesystem::path& file, const FileTree& tree,
              ZipEntryOptions options = {});

// The bytes of such an archive.
std::string zipArchive(const FileTree& tree, ZipEntryOptions options = {});

// Lets the server answer the path with a zip archive of the tree, its checksum published.
void serveArchive(HttpsTestServer& server, std::string_view path, const FileTree& tree);

} // namespace hub::test

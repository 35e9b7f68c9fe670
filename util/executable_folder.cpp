#include "util/executable_folder.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace hub {

std::filesystem::path executablePath() {
    constexpr DWORD capacity = 32768;
    std::wstring buffer(capacity, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), capacity);
    if (length == 0 || length == capacity) {
        throw std::runtime_error("unable to locate the executable folder");
    }
    buffer.resize(length);
    return buffer;
}

std::filesystem::path executableFolder() {
    return executablePath().parent_path();
}

std::filesystem::path findResourceFolder(const std::filesystem::path& executableFolder,
                                         const std::filesystem::path& name) {
    auto beside = executableFolder / name;
    if (std::filesystem::exists(beside)) {
        return beside;
    }
    auto current = std::filesystem::current_path() / name;
    if (std::filesystem::exists(current)) {
        return current;
    }
    return beside;
}

} // namespace hub

#pragma once

#include <windows.h>

#include <filesystem>

namespace hub {

// Loads the library at that full path without the system's own error boxes: a damaged library
// is reported by its caller. The library's own folder is searched first for what it depends on.
// Null when it cannot be loaded, with GetLastError telling why.
HMODULE loadLibraryQuietly(const std::filesystem::path& file) noexcept;

// Points target at the module's export of that name; false (and null) when there is none.
template <typename Function>
bool resolveExport(HMODULE module, const char* name, Function& target) noexcept {
    const FARPROC address = GetProcAddress(module, name);
    // Through void(*)() because that converts to any function pointer type without warnings.
    target = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
    return address != nullptr;
}

} // namespace hub

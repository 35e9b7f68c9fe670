#pragma once

#include <windows.h>

#include <filesystem>
#include <memory>

namespace hub {

// How an enumeration of a folder's entries ended.
struct EnumerationResult {
    DWORD error = 0;     // Windows error that ended it early; 0 when every entry was seen
    bool opened = false; // false when the folder could not be read at all
};

// Calls visit(data) with the find data of every entry of folder except "." and "..", in the
// order the system yields them. Works on long-path ("\\?\") names.
template <typename Visit>
EnumerationResult forEachChild(const std::filesystem::path& folder, Visit visit) {
    struct FindCloser {
        void operator()(HANDLE find) const noexcept { FindClose(find); }
    };
    WIN32_FIND_DATAW data;
    const HANDLE raw = FindFirstFileExW((folder / L"*").c_str(), FindExInfoBasic, &data,
                                        FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (raw == INVALID_HANDLE_VALUE) {
        return {GetLastError(), false};
    }
    const std::unique_ptr<void, FindCloser> find(raw);
    do {
        const wchar_t* name = data.cFileName;
        if (!(name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0')))) {
            visit(data);
        }
    } while (FindNextFileW(raw, &data));
    const DWORD error = GetLastError();
    return {error == ERROR_NO_MORE_FILES ? 0 : error, true};
}

// A symbolic link, a junction or another reparse point that stands for a different place (a
// name surrogate). The one rule of the engine for what a link is: listing, copying and removal
// all use it, so that whatever is copied can also be removed.
inline bool isLinkEntry(const WIN32_FIND_DATAW& data) {
    return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           IsReparseTagNameSurrogate(data.dwReserved0);
}

} // namespace hub

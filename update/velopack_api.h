#pragma once

// The part of the flat C interface of "velopack_libc.dll" that the hub uses, declared here
// because the library is loaded at run time and ships no header for this compiler. Layouts
// follow the library's current interface: the update check hands out a library-owned record
// through a pointer to a pointer, and the release asset inside it is a pointer too.
//
// Rules the declarations encode:
// - every function and callback uses the C calling convention (cdecl on 32-bit x86);
// - bool is the one-byte C++ bool, never the four-byte Win32 BOOL;
// - the update check returns a signed byte, so -1 (failure) must not be read as an int;
// - strings are NUL-terminated UTF-8 in both directions.

#include <cstddef>
#include <cstdint>

#if defined(_M_IX86) || defined(__i386__)
#define HUB_VPKC_CALL __cdecl
#else
#define HUB_VPKC_CALL
#endif

namespace hub::velopack {

// One release package; all eight strings must be non-null when the hub hands one in.
struct Asset {
    char* PackageId;
    char* Version;
    char* Type; // "Full" or "Delta"
    char* FileName;
    char* SHA1;
    char* SHA256;
    std::uint64_t Size;
    char* NotesMarkdown;
    char* NotesHtml;
};

// What the update check found; the library allocates it and frees it as one tree.
struct UpdateInfo {
    Asset* TargetFullRelease;
    Asset* BaseRelease;     // null unless the library chose a delta path
    Asset** DeltasToTarget; // null when DeltasToTargetCount is 0
    std::size_t DeltasToTargetCount;
    bool IsDowngrade;
};

// Results of checkForUpdates.
enum class CheckResult : std::int8_t {
    UpdateError = -1, // the last-error text says why
    UpdateAvailable = 0,
    NoUpdateAvailable = 1,
    RemoteIsEmpty = 2,
};

// The layouts as the library lays them out on x64.
#if defined(_WIN64)
static_assert(sizeof(Asset) == 72 && offsetof(Asset, Size) == 48 &&
              offsetof(Asset, NotesHtml) == 64);
static_assert(sizeof(UpdateInfo) == 40 && offsetof(UpdateInfo, DeltasToTargetCount) == 24 &&
              offsetof(UpdateInfo, IsDowngrade) == 32);
#endif
static_assert(sizeof(bool) == 1 && sizeof(CheckResult) == 1);

using Manager = void;

using ProgressCallback = void(HUB_VPKC_CALL*)(void* userData, std::size_t progress);

using AppRunFunction = void(HUB_VPKC_CALL*)(void* userData);
using NewUpdateManagerFunction = bool(HUB_VPKC_CALL*)(const char* urlOrPath, void* options,
                                                      void* locator, Manager** outManager);
using IsPortableFunction = bool(HUB_VPKC_CALL*)(Manager* manager);
using CheckForUpdatesFunction = std::int8_t(HUB_VPKC_CALL*)(Manager* manager, UpdateInfo** outInfo);
using FreeUpdateInfoFunction = void(HUB_VPKC_CALL*)(UpdateInfo* info);
using DownloadUpdatesFunction = bool(HUB_VPKC_CALL*)(Manager* manager, UpdateInfo* info,
                                                     ProgressCallback progress, void* userData);
using WaitExitThenApplyUpdatesFunction = bool(HUB_VPKC_CALL*)(Manager* manager, Asset* asset,
                                                              bool silent, bool restart,
                                                              char** restartArgs,
                                                              std::size_t restartArgsCount);
using FreeUpdateManagerFunction = void(HUB_VPKC_CALL*)(Manager* manager);
// Returns the message length without the NUL. It writes a NUL one byte after the bytes it
// copies, so callers pass their capacity minus one.
using GetLastErrorFunction = std::size_t(HUB_VPKC_CALL*)(char* buffer, std::size_t length);

} // namespace hub::velopack
